#pragma once
// TfrmSetting: the connection dialog (nick, host, port; CONNECT and HOST) and the settings file.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TmainFrm;

class TfrmSetting : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSetting(TmainFrm &w);

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    QLineEdit *txtNick = nullptr, *txtHOST = nullptr, *txtPort = nullptr;
    QPushButton *btnConnect = nullptr, *btnHost = nullptr;

    void btnConnectClick();
    void btnHostClick();
    bool validPort();
    void loadSettings();
    bool saveSettings(); // false when the file could not be written
    void mnuSettingClick();
    void mnuDisconnClick();

    static QString defaultHost();
    static constexpr int kDefaultPort = 110;
    static constexpr int kNickTypingLimit = 10;

private:
    TmainFrm &w;
};
