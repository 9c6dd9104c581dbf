#include "ui/invitationinput.h"
#include "portmap/invitation.h"
#include "ui/frmsetting.h"
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr int kDialogWidth = TfrmSetting::kWidth;
constexpr int kDialogHeight = TfrmSetting::kHeight;
}

TInvitationInput::TInvitationInput(TfrmSetting &dialog) : QObject(&dialog), d(dialog)
{
    lblInvitation = new QLabel(&d);
    lblInvitation->setObjectName(QStringLiteral("lblInvitation"));
    lblInvitation->setWordWrap(true);
    lblInvitation->hide();
    connect(d.txtHOST, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (looksLikeInvitation(text))
            take(text);
        else if (lblInvitation->isVisible()) {
            showLine(QString());
            d.btnConnect->setEnabled(true);
        }
    });
}

void TInvitationInput::open(const QString &link)
{
    d.mnuSettingClick();
    take(link);
}

bool TInvitationInput::take(const QString &link)
{
    QString why;
    const std::optional<Invitation> inv = parseInvitation(link, &why);
    if (!inv) {
        d.txtHOST->setText(link.trimmed());
        showLine(QStringLiteral("Not an invitation: ") + why);
        d.btnConnect->setEnabled(false); // until the host field holds a host again
        return false;
    }
    d.txtHOST->setText(inv->host);
    d.txtPort->setText(QString::number(inv->port));
    d.txtTable->setText(inv->table);
    d.btnConnect->setEnabled(true);
    const QString where = inv->table.isEmpty() ? QString() : QStringLiteral(", table ") + inv->table;
    showLine(QStringLiteral("Invitation to %1 port %2%3: press CONNECT to join.").arg(inv->host).arg(inv->port).arg(where));
    d.btnConnect->setDefault(true);
    d.btnConnect->setFocus();
    return true;
}

void TInvitationInput::showLine(const QString &text)
{
    lblInvitation->setText(text);
    lblInvitation->setVisible(!text.isEmpty());
    int extra = 0;
    if (!text.isEmpty()) {
        lblInvitation->setFixedWidth(kDialogWidth - 16);
        extra = lblInvitation->heightForWidth(lblInvitation->width()) + 6;
        lblInvitation->setGeometry(8, kDialogHeight, kDialogWidth - 16, extra - 6);
    }
    d.setFixedSize(kDialogWidth, kDialogHeight + extra);
}
