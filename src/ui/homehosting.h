#pragma once
// Hosting from home, for the window: Settings > Open Port On Router (kept in the settings file), the
// router's answer in the status bar and once in the chat log, and Connection > Copy Invitation.
#include <QObject>

class QAction;
class TmainFrm;
struct PortMapResult;

class THomeHosting : public QObject
{
    Q_OBJECT
public:
    explicit THomeHosting(TmainFrm &w);

    QAction *OpenPortOnRouter1 = nullptr;
    QAction *mnuInvite = nullptr;

    // Whether hosting asks the router: the menu item, unless routers are not to be asked at all (tests).
    bool openPort() const;
    static void askRouters(bool ask);
    void loadSetting();
    void saveSetting();
    // The invitation to the table this window hosts or sits at; empty when there is none.
    QString invitation() const;
    void copyInvitation();

private:
    void routerAnswered(const PortMapResult &result);
    TmainFrm &w;
};
