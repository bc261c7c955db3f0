// The server side of the fake ActiveQt, and what it recorded.
#pragma once

#include <ActiveQt/QAxObject>

#include <QStringList>
#include <QThread>

struct AxCall
{
    QString kind;      // of the object called
    QByteArray member; // as the engine spelled it
    QVariantList args;
    Qt::HANDLE thread;
};

class FakeAxServer
{
public:
    virtual ~FakeAxServer() = default;
    virtual QVariant call(QAxObject& object, const QByteArray& member,
                          const QVariantList& args) = 0;
    // Fills in sub for the object the query yields; false: none.
    virtual bool query(QAxObject& from, const QByteArray& member, const QVariantList& args,
                       QAxObject& sub) = 0;
};

namespace fakeax {

void install(FakeAxServer* server); // and forget what was recorded
// The server raises an error in a call on object, as ActiveQt reports it.
void raise(QAxObject& object, const QString& description);
QList<AxCall> calls();
// The threads COM was initialised on, with the flags given.
QList<QPair<Qt::HANDLE, unsigned long>> comInits();
// Objects made before COM on their thread, released before an object queried
// from them or with a second owner (still a Qt child), values kept as local
// Qt properties.
QStringList violations();
int liveObjects();

} // namespace fakeax
