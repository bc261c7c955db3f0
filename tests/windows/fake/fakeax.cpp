#include "fakeax.h"

#include <objbase.h>

#include <QMutex>
#include <QSet>

#include <utility>

namespace {

QMutex g_mutex;
FakeAxServer* g_server = nullptr;
QList<AxCall> g_calls;
QList<QPair<Qt::HANDLE, unsigned long>> g_comInits;
QStringList g_violations;
QSet<QAxObject*> g_live;
thread_local bool t_com = false;

void record(const QAxObject& object, const char* member, const QVariantList& args)
{
    const QMutexLocker lock(&g_mutex);
    g_calls << AxCall{object.kind, member, args, QThread::currentThreadId()};
}

} // namespace

HRESULT CoInitializeEx(void*, DWORD flags)
{
    t_com = true;
    const QMutexLocker lock(&g_mutex);
    g_comInits << qMakePair(QThread::currentThreadId(), static_cast<unsigned long>(flags));
    return 0;
}

QAxObject::QAxObject(QObject* parent) : QObject(parent)
{
    const QMutexLocker lock(&g_mutex);
    if (!t_com)
        g_violations << QStringLiteral("object made before COM on its thread");
    g_live << this;
}

QAxObject::~QAxObject()
{
    const QMutexLocker lock(&g_mutex);
    for (const QByteArray& name : dynamicPropertyNames())
        g_violations << QStringLiteral("%1 kept on %2").arg(QString::fromLatin1(name), kind);
    if (auto* owner = qobject_cast<QAxObject*>(parent()))
        g_violations << QStringLiteral("%1 also owned by %2").arg(kind, owner->kind);
    g_live.remove(this);
    for (const QAxObject* other : std::as_const(g_live)) {
        if (other->origin == this)
            g_violations << QStringLiteral("%1 released before its %2").arg(kind, other->kind);
    }
}

bool QAxObject::setControl(const QString& control)
{
    kind = QStringLiteral("Application");
    record(*this, "setControl", {control});
    return g_server != nullptr;
}

QVariant QAxObject::call(const char* member, const QVariantList& args)
{
    record(*this, member, args);
    return g_server->call(*this, member, args);
}

QAxObject* QAxObject::query(const char* member, const QVariantList& args)
{
    record(*this, member, args);
    auto* sub = new QAxObject(this);
    sub->origin = this;
    if (g_server->query(*this, member, args, *sub))
        return sub;
    sub->setParent(nullptr);
    sub->origin = nullptr;
    delete sub;
    return nullptr;
}

namespace fakeax {

void install(FakeAxServer* server)
{
    const QMutexLocker lock(&g_mutex);
    g_server = server;
    g_calls.clear();
    g_comInits.clear();
    g_violations.clear();
}

void raise(QAxObject& object, const QString& description)
{
    emit object.exception(1004, QStringLiteral("Microsoft Excel"), description, QString());
}

QList<AxCall> calls()
{
    const QMutexLocker lock(&g_mutex);
    return g_calls;
}

QList<QPair<Qt::HANDLE, unsigned long>> comInits()
{
    const QMutexLocker lock(&g_mutex);
    return g_comInits;
}

QStringList violations()
{
    const QMutexLocker lock(&g_mutex);
    return g_violations;
}

int liveObjects()
{
    const QMutexLocker lock(&g_mutex);
    return int(g_live.size());
}

} // namespace fakeax
