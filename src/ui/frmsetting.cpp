#include "ui/frmsetting.h"

#include "game/protocol.h"
#include "ui/invitationinput.h"
#include "ui/mainfrm.h"
#include "ui/tablesession.h"
#include "ui/portinput.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <QSysInfo>
#include <QValidator>

namespace {

const QString kSection = QStringLiteral("CONNECTION");
const QString kNickKey = QStringLiteral("NICK");
const QString kHostKey = QStringLiteral("HOST");
const QString kPortKey = QStringLiteral("PORT");
const QString kTableKey = QStringLiteral("TABLE");

// Limits what can be typed, not what is set: a longer nick from the settings file is shown whole
// and can still be shortened key by key.
class TypingLimit : public QValidator
{
public:
    TypingLimit(QLineEdit *edit, int limit) : QValidator(edit), m_limit(limit), m_accepted(edit->text().size())
    {
        // The line edit changes its text before asking, so the length to compare with is kept here.
        connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { m_accepted = text.size(); });
    }
    State validate(QString &input, int &) const override
    {
        if (input.size() <= m_limit || input.size() <= m_accepted)
            return Acceptable;
        return Invalid;
    }

private:
    int m_limit;
    qsizetype m_accepted;
};

// The text of a key; a value the file format reads as a list (unquoted commas) is put back together.
QString readText(const QSettings &s, const QString &key, const QString &fallback)
{
    if (!s.contains(key))
        return fallback;
    const QVariant v = s.value(key);
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

} // namespace

TfrmSetting::TfrmSetting(TmainFrm &w)
    : QDialog(&w, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      w(w)
{
    setObjectName(QStringLiteral("frmSetting"));
    setWindowTitle(QStringLiteral(" Connection"));
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);
    setFixedSize(kWidth, kHeight);
    setModal(false);

    auto label = [this](const char *name, const QString &text, int left, int top) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->move(left, top);
        l->adjustSize();
        return l;
    };
    auto edit = [this](const char *name, const QString &text, int top) {
        auto *e = new QLineEdit(text, this);
        e->setObjectName(QLatin1String(name));
        e->setGeometry(56, top, 121, 21);
        return e;
    };

    Label1 = label("Label1", QStringLiteral("Nick"), 24, 18);
    txtNick = edit("txtNick", QStringLiteral("MYNICK"), 15);
    txtNick->setValidator(new TypingLimit(txtNick, kNickTypingLimit));
    Label2 = label("Label2", QStringLiteral("Host"), 24, 42);
    txtHOST = edit("txtHOST", defaultHost(), 39);
    Label3 = label("Label3", QStringLiteral("Port"), 24, 66);
    txtPort = edit("txtPort", QString::number(kDefaultPort), 63);
    Label4 = label("Label4", QStringLiteral("Table"), 24, 90);
    txtTable = edit("txtTable", QString(), 87);
    txtTable->setMaxLength(20);
    txtTable->setPlaceholderText(QStringLiteral("any table"));

    btnConnect = new QPushButton(QStringLiteral("CONNECT"), this);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    btnConnect->setGeometry(22, 120, 81, 25);
    btnConnect->setAutoDefault(false);
    btnHost = new QPushButton(QStringLiteral("HOST"), this);
    btnHost->setObjectName(QStringLiteral("btnHost"));
    btnHost->setGeometry(102, 120, 75, 25);
    btnHost->setAutoDefault(false);

    setTabOrder(txtNick, txtHOST);
    setTabOrder(txtHOST, txtPort);
    setTabOrder(txtPort, txtTable);
    setTabOrder(txtTable, btnConnect);
    setTabOrder(btnConnect, btnHost);

    connect(btnConnect, &QPushButton::clicked, this, [this] { btnConnectClick(); });
    connect(btnHost, &QPushButton::clicked, this, [this] { btnHostClick(); });
    invitationInput = new TInvitationInput(*this);
}

QString TfrmSetting::defaultHost()
{
    return QStringLiteral("localhost");
}

bool TfrmSetting::validPort()
{
    const int port = readLenientNumber(txtPort->text());
    txtPort->setText(QString::number(port));
    if (port >= 1 && port <= 65535)
        return true;
    w.showMessage(QMessageBox::Warning, QStringLiteral("Port must be within 1-65535 !"), QMessageBox::Ok);
    return false;
}

bool TfrmSetting::validTable()
{
    const QString table = txtTable->text().trimmed();
    txtTable->setText(table);
    if (table.isEmpty() || isValidTableName(table))
        return true;
    w.showMessage(QMessageBox::Warning, kTableNameRule, QMessageBox::Ok);
    return false;
}

void TfrmSetting::btnConnectClick()
{
    // Hosting and connecting exclude each other: one copy is either the host or a client.
    if (w.session->active())
        return;

    m_host = txtHOST->text();
    m_nick = txtNick->text();

    if (txtNick->text().trimmed().isEmpty() || txtHOST->text().trimmed().isEmpty()) {
        // A message box shows its text literally, so the ampersand is written once here.
        w.showMessage(QMessageBox::Critical, QStringLiteral(" NICK & HOST cannot be blank !"), QMessageBox::Ok);
        return;
    }
    if (!validPort() || !validTable())
        return;

    m_port = txtPort->text().toInt();
    m_table = txtTable->text();
    hide();
    w.startJoining(m_host, m_port, m_nick, m_table);
}

void TfrmSetting::btnHostClick()
{
    if (w.session->active())
        return;
    if (!validPort())
        return;

    m_port = txtPort->text().toInt();
    m_host = txtHOST->text();
    // The nick of the dialog, taken when hosting starts.
    m_nick = txtNick->text();
    hide();
    w.startHosting(m_port, m_nick);
}

void TfrmSetting::loadSettings()
{
    QSettings s(w.settingsPath(), QSettings::IniFormat);
    s.beginGroup(kSection);
    txtNick->setText(readText(s, kNickKey, QSysInfo::machineHostName()));
    txtHOST->setText(readText(s, kHostKey, defaultHost()));

    // A PORT that is not a usable port number falls back to the default.
    int port = kDefaultPort;
    bool ok = false;
    const int read = readText(s, kPortKey, QString::number(kDefaultPort)).trimmed().toInt(&ok, 10);
    if (ok && read >= 1 && read <= 65535)
        port = read;
    txtPort->setText(QString::number(port));
    // A table name the server would refuse is not offered again.
    const QString table = readText(s, kTableKey, QString()).trimmed();
    txtTable->setText(isValidTableName(table) ? table : QString());
    s.endGroup();

    m_host = txtHOST->text();
    m_port = port;
    m_nick = txtNick->text();
    m_table = txtTable->text();
}

bool TfrmSetting::saveSettings()
{
    const QString path = w.settingsPath();
    QDir().mkpath(QFileInfo(path).absolutePath()); // the user's folder may not exist yet
    QSettings s(path, QSettings::IniFormat);
    s.beginGroup(kSection);
    s.setValue(kNickKey, m_nick);
    s.setValue(kHostKey, m_host);
    s.setValue(kPortKey, m_port);
    // No key for "any table": the file stays as copies without the field write it.
    if (m_table.isEmpty())
        s.remove(kTableKey);
    else
        s.setValue(kTableKey, m_table);
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError)
        return false;
    const QFileInfo written(path);
    return written.isFile() && written.isWritable();
}

void TfrmSetting::mnuSettingClick()
{
    const QRect outer = w.frameGeometry();
    move(outer.center() - QPoint(width() / 2, height() / 2));
    show();
    raise();
    activateWindow();
}

void TfrmSetting::mnuDisconnClick()
{
    w.leaveTable();
    w.mnuDisconn->setEnabled(false);
    w.mnuSetting->setEnabled(true);
}
