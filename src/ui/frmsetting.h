#pragma once
// TfrmSetting: the connection dialog (nick, host, port; CONNECT and HOST) and the settings file.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TmainFrm;
class TInvitationInput;

class TfrmSetting : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSetting(TmainFrm &w);

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    QLineEdit *txtNick = nullptr, *txtHOST = nullptr, *txtPort = nullptr;
    QPushButton *btnConnect = nullptr, *btnHost = nullptr;
    TInvitationInput *invitationInput = nullptr; // links pasted into txtHOST

    void btnConnectClick();
    void btnHostClick();
    bool validPort();
    void loadSettings();
    bool saveSettings(); // false when the file could not be written
    void mnuSettingClick();
    void mnuDisconnClick();

    // The nick, host and port last used or loaded: what the settings file keeps.
    QString nick() const { return m_nick; }
    QString host() const { return m_host; }
    int port() const { return m_port; }

    static QString defaultHost();
    static constexpr int kDefaultPort = 110;
    static constexpr int kNickTypingLimit = 10;

private:
    TmainFrm &w;
    QString m_nick;
    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = kDefaultPort;
};
