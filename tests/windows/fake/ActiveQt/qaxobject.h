// A recording stand-in for ActiveQt's QAxObject, so that the COM engine runs
// on Linux: every call goes to the FakeAxServer a test installs (fakeax.h).
// As with ActiveQt, a queried object is a Qt child of the object it came
// from, and arguments arrive as QVariants; the meta-object lists no server
// property, as for a server whose type information leaves them out.
#pragma once

#include <QObject>
#include <QVariantMap>

class QAxObject : public QObject
{
    Q_OBJECT

public:
    explicit QAxObject(QObject* parent = nullptr);
    ~QAxObject() override;
    bool setControl(const QString& control);
    template <class... Args>
    QVariant dynamicCall(const char* function, const Args&... args)
    {
        return call(function, {QVariant(args)...});
    }
    template <class... Args>
    QAxObject* querySubObject(const char* name, const Args&... args)
    {
        return query(name, {QVariant(args)...});
    }

    QString kind;                // what the object stands for: "Worksheet", ...
    QAxObject* origin = nullptr; // the object it was queried from
    QVariantMap values;          // the server's values of it

signals:
    void exception(int code, const QString& source, const QString& desc, const QString& help);

private:
    QVariant call(const char* member, const QVariantList& args);
    QAxObject* query(const char* member, const QVariantList& args);
};
