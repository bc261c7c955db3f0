#include "runs/messages.h"

#include <QCoreApplication>

namespace runs {

namespace {

// The texts are written in Chinese; the program's translations give them in
// the interface language, to the window and the command line alike.
QString tr(const char* text)
{
    return QCoreApplication::translate("runs", text);
}

} // namespace

QString reportText(RunType run, int workbooks, int sheets, qint64 seconds)
{
    const QString text = run == RunType::Print ? tr("成功打印%1个工作簿的%2个sheet。耗时%3秒。")
                                               : tr("成功修改%1个工作簿的%2个sheet。耗时%3秒。");
    return text.arg(workbooks).arg(sheets).arg(seconds);
}

QString failureText(const spreadsheet::Failure& failure)
{
    using spreadsheet::FailureKind;
    QString text;
    switch (failure.kind) {
    case FailureKind::None:
        return failure.detail;
    case FailureKind::NoApplication:
        text = tr("电子表格程序无法启动");
        break;
    case FailureKind::NotFound:
        text = tr("文件不存在");
        break;
    case FailureKind::NotOpened:
        text = tr("无法打开");
        break;
    case FailureKind::PasswordProtected:
        text = tr("文件受密码保护");
        break;
    case FailureKind::Damaged:
        text = tr("文件已损坏或不是工作簿");
        break;
    case FailureKind::UnsupportedFormat:
        text = tr("不支持的文件格式");
        break;
    case FailureKind::OfficeCrashed:
        text = tr("电子表格程序处理此文件时崩溃");
        break;
    case FailureKind::OfficeHung:
        text = tr("电子表格程序处理此文件时停止响应");
        break;
    case FailureKind::PrintRefused:
        text = tr("打印系统拒绝了打印任务");
        break;
    case FailureKind::ReadOnly:
        text = tr("文件为只读");
        break;
    case FailureKind::LockedByOther:
        text = tr("文件已在其他程序中打开");
        break;
    case FailureKind::SaveFailed:
        text = tr("保存失败");
        break;
    case FailureKind::ChangeFailed:
        text = tr("无法修改页面设置");
        break;
    case FailureKind::Unreadable:
        text = tr("无法读取工作表");
        break;
    }
    if (!failure.detail.isEmpty())
        text += tr("（%1）").arg(failure.detail);
    return text;
}

QString failureKeyword(spreadsheet::FailureKind kind)
{
    using spreadsheet::FailureKind;
    switch (kind) {
    case FailureKind::None:
        break;
    case FailureKind::NoApplication:
        return QStringLiteral("no-application");
    case FailureKind::NotFound:
        return QStringLiteral("not-found");
    case FailureKind::NotOpened:
        return QStringLiteral("not-opened");
    case FailureKind::PasswordProtected:
        return QStringLiteral("password-protected");
    case FailureKind::Damaged:
        return QStringLiteral("damaged");
    case FailureKind::UnsupportedFormat:
        return QStringLiteral("unsupported-format");
    case FailureKind::OfficeCrashed:
        return QStringLiteral("office-crashed");
    case FailureKind::OfficeHung:
        return QStringLiteral("office-hung");
    case FailureKind::PrintRefused:
        return QStringLiteral("print-refused");
    case FailureKind::ReadOnly:
        return QStringLiteral("read-only");
    case FailureKind::LockedByOther:
        return QStringLiteral("locked");
    case FailureKind::SaveFailed:
        return QStringLiteral("save-failed");
    case FailureKind::ChangeFailed:
        return QStringLiteral("change-failed");
    case FailureKind::Unreadable:
        return QStringLiteral("unreadable");
    }
    return QString();
}

QString eventText(const RunEvent& event)
{
    using Type = RunEvent::Type;
    switch (event.type) {
    case Type::ApplicationStarting:
        return tr("excel OK!");
    case Type::ApplicationReady:
        return tr("WorkBooks OK!");
    case Type::NoApplication:
        return tr("本功能需要电脑中装有微软office或金山wps专业版(注意是专业版,不是个人版)!");
    case Type::WorkbookDelay:
        return tr("工作簿文件延时:%1秒!").arg(event.seconds);
    case Type::WorkbookStarted:
        return event.path;
    case Type::SheetDelay:
        return tr("Sheet表延时:%1秒!").arg(event.seconds);
    case Type::InvalidRange:
        return tr("此文件指定区域无效,请重新设置!%1").arg(event.path);
    case Type::ApplicationLost:
        return tr("电子表格程序已停止响应,运行已结束。");
    case Type::Stopped:
        return tr("已停止");
    case Type::Report:
        return reportText(event.run, event.workbooks, event.sheets, event.elapsedSeconds);
    case Type::WorkbookFailed:
        return tr("%1：%2").arg(event.path, failureText(event.failure));
    case Type::RunStarted:
    case Type::SheetDone:
    case Type::WorkbookDone:
    case Type::WorkbookSkipped:
    case Type::RunEnded:
        break;
    }
    return QString();
}

bool isFailureEvent(const RunEvent& event)
{
    switch (event.type) {
    case RunEvent::Type::NoApplication:
    case RunEvent::Type::InvalidRange:
    case RunEvent::Type::ApplicationLost:
    case RunEvent::Type::WorkbookFailed:
        return true;
    default:
        return false;
    }
}

} // namespace runs
