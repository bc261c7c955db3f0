#include "runs/messages.h"

namespace runs {

QString reportFirstWords(RunType run)
{
    return run == RunType::Print ? QStringLiteral("成功打印") : QStringLiteral("成功修改");
}

QString reportText(RunType run, int workbooks, int sheets, qint64 seconds)
{
    return reportFirstWords(run) + QString::number(workbooks) + QStringLiteral("个工作簿的") +
           QString::number(sheets) + QStringLiteral("个sheet。") + QStringLiteral("耗时") +
           QString::number(seconds) + QStringLiteral("秒。");
}

QString eventText(const RunEvent& event)
{
    using Type = RunEvent::Type;
    switch (event.type) {
    case Type::ApplicationStarting:
        return QStringLiteral("excel OK!");
    case Type::ApplicationReady:
        return QStringLiteral("WorkBooks OK!");
    case Type::NoApplication:
        return QStringLiteral(
            "本功能需要电脑中装有微软office或金山wps专业版(注意是专业版,不是个人版)!");
    case Type::WorkbookDelay:
        return QStringLiteral("工作簿文件延时:") + QString::number(event.seconds) +
               QStringLiteral("秒!");
    case Type::WorkbookStarted:
        return event.path;
    case Type::SheetDelay:
        return QStringLiteral("Sheet表延时:") + QString::number(event.seconds) +
               QStringLiteral("秒!");
    case Type::InvalidRange:
        return QStringLiteral("此文件指定区域无效,请重新设置!") + event.path;
    case Type::ApplicationLost:
        return QStringLiteral("电子表格程序已停止响应,运行已结束。");
    case Type::Stopped:
        return QStringLiteral("已停止");
    case Type::Report:
        return reportText(event.run, event.workbooks, event.sheets, event.elapsedSeconds);
    case Type::RunStarted:
    case Type::SheetDone:
    case Type::WorkbookDone:
    case Type::WorkbookFailed:
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
