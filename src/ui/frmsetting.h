#pragma once
// TfrmSetting: the connection dialog (nick, host, port, table; CONNECT and HOST) and the settings file.
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

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
    // txtTable: the table asked for on a server of many tables; empty: any table.
    QLineEdit *txtNick = nullptr, *txtHOST = nullptr, *txtPort = nullptr, *txtTable = nullptr;
    QPushButton *btnConnect = nullptr, *btnHost = nullptr;
    TInvitationInput *invitationInput = nullptr; // links pasted into txtHOST

    void btnConnectClick();
    void btnHostClick();
    bool validPort();
    bool validTable();
    void loadSettings();
    bool saveSettings(); // false when the file could not be written
    void mnuSettingClick();
    void mnuDisconnClick();

    // The nick, host, port and table last used or loaded: what the settings file keeps.
    QString nick() const { return m_nick; }
    QString host() const { return m_host; }
    int port() const { return m_port; }
    QString table() const { return m_table; }

    static QString defaultHost();
    static constexpr int kDefaultPort = 110;
    static constexpr int kNickTypingLimit = 10;
    static constexpr int kWidth = 195;
    static constexpr int kHeight = 153;

private:
    TmainFrm &w;
    QString m_nick;
    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = kDefaultPort;
    QString m_table;
};
