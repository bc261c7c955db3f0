// ActiveQt's public API as its documentation declares it, for the syntax
// check of a Windows build's sources; never linked.  With Qt 5 QAxObject
// derives from QObject and QAxBase, and its signals exist only in the
// meta-object built at run time; Qt 6 declares them in QAxBaseObject.
#pragma once

#include <QtCore/QObject>
#include <QtCore/QUuid>
#include <QtCore/QVariant>

#include <unknwn.h>

class QAxObject;

class QAxBase
{
public:
    virtual ~QAxBase();
    QString control() const;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    virtual bool setControl(const QString& c);
    virtual void resetControl();
#endif
    QVariant dynamicCall(const char* function, const QVariant& var1 = QVariant(),
                         const QVariant& var2 = QVariant(), const QVariant& var3 = QVariant(),
                         const QVariant& var4 = QVariant(), const QVariant& var5 = QVariant(),
                         const QVariant& var6 = QVariant(), const QVariant& var7 = QVariant(),
                         const QVariant& var8 = QVariant());
    QVariant dynamicCall(const char* function, QList<QVariant>& vars);
    QAxObject* querySubObject(const char* name, const QVariant& var1 = QVariant(),
                              const QVariant& var2 = QVariant(), const QVariant& var3 = QVariant(),
                              const QVariant& var4 = QVariant(), const QVariant& var5 = QVariant(),
                              const QVariant& var6 = QVariant(), const QVariant& var7 = QVariant(),
                              const QVariant& var8 = QVariant());
    QAxObject* querySubObject(const char* name, QList<QVariant>& vars);
    long queryInterface(const QUuid& uuid, void** iface) const;
    QVariant asVariant() const;
    bool isNull() const;
    virtual void clear();

protected:
    QAxBase();
};

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
class QAxObjectInterface
{
public:
    virtual ~QAxObjectInterface();
    virtual ulong classContext() const = 0;
    virtual void setClassContext(ulong classContext) = 0;
    virtual QString control() const = 0;
    virtual void resetControl() = 0;
    virtual bool setControl(const QString& c) = 0;
};

class QAxBaseObject : public QObject, public QAxObjectInterface
{
    Q_OBJECT
Q_SIGNALS:
    void exception(int code, const QString& source, const QString& desc, const QString& help);
    void propertyChanged(const QString& name);
    void signal(const QString& name, int argc, void* argv);
};

class QAxObject : public QAxBaseObject, public QAxBase
{
public:
    explicit QAxObject(QObject* parent = nullptr);
    explicit QAxObject(const QString& c, QObject* parent = nullptr);
    explicit QAxObject(IUnknown* iface, QObject* parent = nullptr);
    ~QAxObject() override;
    ulong classContext() const override;
    void setClassContext(ulong classContext) override;
    QString control() const override;
    void resetControl() override;
    bool setControl(const QString& c) override;
    bool doVerb(const QString& verb);
};
#else
class QAxObject : public QObject, public QAxBase
{
public:
    explicit QAxObject(QObject* parent = nullptr);
    explicit QAxObject(const QString& c, QObject* parent = nullptr);
    explicit QAxObject(IUnknown* iface, QObject* parent = nullptr);
    ~QAxObject() override;
    bool doVerb(const QString& verb);
};
#endif
