#pragma once
// TTurnNotifier: when the turn reaches the window's player while the window is not the active one,
// the task bar entry asks for attention and a desktop notification says "Your turn" with the table
// it is at. Settings > Notify On Turn switches both. The desktop notification goes to the
// freedesktop notification service over the session bus when there is one; nothing happens, and
// nothing is reported, when there is not.
#include <QObject>
#include <QString>
#include <functional>

class QAction;
class ClientTable;
class TmainFrm;

class TTurnNotifier : public QObject
{
    Q_OBJECT
public:
    explicit TTurnNotifier(TmainFrm &w);

    QAction *action() const { return m_action; }
    bool enabled() const;
    void setEnabled(bool on);
    // The table the window is at, as the notification names it: "host:port".
    QString tableText() const;

    // The seam: what the notifier asks of the desktop. Tests put their own in; the defaults are the
    // window's activity, QApplication::alert and the freedesktop service.
    struct Desktop
    {
        std::function<bool()> windowActive;
        std::function<void()> alert;
        std::function<void(const QString &summary, const QString &body)> notify;
    };
    void setDesktop(Desktop desktop) { m_desktop = std::move(desktop); }
    static Desktop systemDesktop(TmainFrm &w);
    Desktop &desktop() { return m_desktop; }

    // Sends org.freedesktop.Notifications.Notify on the session bus without waiting for an answer;
    // false when there is no session bus.
    static bool sendDesktopNotification(const QString &summary, const QString &body);

private:
    void bind(ClientTable *c);
    void turnChanged();
    TmainFrm &w;
    QAction *m_action = nullptr;
    Desktop m_desktop;
    bool m_wasMine = false;
};
