#pragma once
// Invitation links in the connection dialog: pasted into the host field or given on the command
// line, a link fills in host and port and makes CONNECT the default button; a bad one is refused
// with a line under the buttons that says why. Nothing connects until CONNECT is pressed.
#include <QObject>

class QLabel;
class TfrmSetting;

class TInvitationInput : public QObject
{
    Q_OBJECT
public:
    explicit TInvitationInput(TfrmSetting &dialog);

    QLabel *lblInvitation = nullptr;
    // Shows the dialog filled in from the link (the command line, a click on a link).
    void open(const QString &link);
    // Takes the link apart into the fields; false when it is refused.
    bool take(const QString &link);

private:
    void showLine(const QString &text);
    TfrmSetting &d;
};
