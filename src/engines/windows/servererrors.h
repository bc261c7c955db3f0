// What the automation server answered with an error while one of its objects
// was being called.  ActiveQt reports an exception raised by the server
// through the object's exception signal; the call itself then returns an
// empty value, as a property write or a method without a result does anyway.
// Collects the server's own words for as long as it lives.
#pragma once

#include <ActiveQt/QAxObject>

#include <QObject>
#include <QString>

namespace engines::windows {

class ServerErrors : public QObject
{
    Q_OBJECT

public:
    explicit ServerErrors(QAxObject* object)
    {
        // By signature: with Qt 5 the signal exists only in the meta-object
        // that ActiveQt builds at run time.
        if (object)
            connect(object, SIGNAL(exception(int, QString, QString, QString)), this,
                    SLOT(raised(int, QString, QString, QString)));
    }

    explicit operator bool() const { return m_raised; }
    // The server's description of the first error, or its source when it
    // gave none.
    QString text() const { return m_text; }

private slots:
    void raised(int code, const QString& source, const QString& description, const QString&)
    {
        if (m_raised)
            return;
        m_raised = true;
        if (!description.isEmpty())
            m_text = description;
        else if (!source.isEmpty())
            m_text = source;
        else
            m_text = QStringLiteral("error %1").arg(code);
    }

private:
    bool m_raised = false;
    QString m_text;
};

} // namespace engines::windows
