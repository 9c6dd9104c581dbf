#pragma once
// TmainFrm: the table window. It builds and lays out every control, offers the display
// operations and the hub-event handlers of the window, and is the game's context: the game
// control (in the core library) changes the table model and shows it through TTableView.
#include "game/gamecontext.h"
#include "game/tableview.h"
#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QMessageBox>
#include <functional>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTextEdit;
class QTimer;
class TPlayCard;
class TwebText;
class TwsHUBsvr;
class TwsHUBcli;
class THandHandling;
class THint;
class TCountdown;
class TChatPanel;
class TfrmSetting;
class TBotSeats;

class TmainFrm : public QMainWindow, public TGameContext, public TTableView
{
    Q_OBJECT
public:
    explicit TmainFrm(QWidget *parent = nullptr);
    ~TmainFrm() override;

    // Start-up and shutdown
    void FormCreate();
    void FormShow();
    void FormDestroy();
    // Ends the program for a termination signal: nothing may wait for an answer, not even a box
    // already open, and a failure to save is told on the standard error instead of in a box.
    void closeUnattended();
    QString programDir;             // directory of the executable, ending in a separator
    QString userConfigDir;          // the user's configuration folder, for when programDir is not writable
    QString settingsPath() const;   // "Quadrix.INI" in programDir, or in userConfigDir (see fileplace.h)

    QTimer *autoPass = nullptr;     // 1000 ms, the turn countdown

    // The window's own controllers
    THandHandling *hand = nullptr;
    THint *hint = nullptr;              // Ctrl+H on the own turn
    TCountdown *countdown = nullptr;
    TChatPanel *chat = nullptr;
    TfrmSetting *frmSetting = nullptr;
    TBotSeats *botSeats = nullptr;      // "Add Computer Player"

    // Controls (object names as written here)
    QFrame *Panel1 = nullptr, *Panel2 = nullptr, *Panel3 = nullptr, *Panel4 = nullptr;
    QLabel *imgCarpet = nullptr, *Img1 = nullptr, *cardImg = nullptr, *noImg = nullptr;
    QStatusBar *msgBar = nullptr;
    QLabel *txtWhoThrow = nullptr, *txtAutoPass = nullptr, *txtPassCntDwn = nullptr, *txtWait = nullptr;
    QLabel *imgTurn = nullptr;
    QPushButton *btnStop = nullptr, *btnPing = nullptr, *btnSortF = nullptr, *btnSortN = nullptr,
                *btnThrow = nullptr, *btnCardDown = nullptr, *btnNew = nullptr, *btnPass = nullptr;
    TwebText *webText1 = nullptr, *webText2 = nullptr;
    QMenu *Connection1 = nullptr, *Settings1 = nullptr;
    QAction *mnuSetting = nullptr, *mnuDisconn = nullptr, *AlwaysOnTop1 = nullptr, *BeepOnTurn1 = nullptr,
            *ChatDialog1 = nullptr, *Hint1 = nullptr;
    QFrame *chatPanel = nullptr;
    QPushButton *btnNoChat = nullptr, *btnClear = nullptr, *btnForeColor = nullptr, *btnBGColor = nullptr,
                *btnAltS = nullptr;
    QTextEdit *chatLog = nullptr;
    QLineEdit *txtInput = nullptr;

    // Look-up by composed name, ignoring letter case ("txtNick" + seat, "P" + seat + "C" + slot, "outC" + slot)
    QWidget *findControl(const QString &name) const;
    TPlayCard *findCard(const QString &name) const;   // nullptr when the control is not a card control
    QLabel *findLabel(const QString &name) const;
    TPlayCard *handSlot(int n) const;                 // "P1C" + n, n 1..13
    TPlayCard *tableSlot(int n) const;                // "outC" + n, n 1..5
    QWidget *seatSlot(int seat, int n) const;         // "P" + seat + "C" + n
    QLabel *nickLabel(int seat) const;
    QLabel *pointLabel(int seat) const;
    QLabel *awayLabel(int seat) const;
    QLabel *passLabel(int seat) const;

    // Display operations
    void showSeatCards(int seat, bool visible) override;
    void placeDealtCard(const QString &nick, int slot, const QString &code) override;
    void hideTableCards();
    int countTableCards() const;
    void resetGameDisplay();                          // wait mode
    void resetConnection();
    void setWhoThrow(const QString &text) override;   // sets, shows and re-centres txtWhoThrow
    void setStatusText(const QString &text) override;
    QString statusText() const;
    void setTurnMarker(int seat) override;            // moves imgTurn beside screen seat 1..4 and shows it
    void restoreIcon() override;                      // the window's own icon back on the task bar
    void showBlankIcon();
    void setOuterWidth(int outerWidth);               // 363 closes the chat panel, 640 opens it
    bool blankIconShown() const { return m_blankIconShown; }

    // "abc" -> "a b c": the form of nick, thrower and pass labels, so side labels read downwards
    static QString letterSpaced(const QString &nick);
    static QString emptySeatText() { return QStringLiteral("E M P T Y  "); } // an empty seat's nick label

    // Hub-event handlers of the window
    void onSocketBusy();
    void socketError(const QString &ErrMsg);
    void gClientConnect(const QString &HostIP, int atPort);
    void clientConnectionOver();
    void gClientDisconnect(const QString &HostIP, int atPort);
    void gHostCloseConnection();
    void AlwaysOnTop1Click();
    void BeepOnTurn1Click();

    // Every message box of the program goes through here.
    QMessageBox::StandardButton showMessage(QMessageBox::Icon icon, const QString &text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    // Tests replace the modal box: the hook gets the box and answers for the user.
    using MessageHook = std::function<QMessageBox::StandardButton(TmainFrm *, QMessageBox::Icon, const QString &,
                                                                  QMessageBox::StandardButtons)>;
    static void setMessageHook(MessageHook hook);

    // Lets pending window messages run; the waiting form runs them for about ms milliseconds.
    void processPending() override;
    void waitProcessing(int ms) override;

    // The rest of what the game control asks of the window (windowview.cpp)
    void setButtonEnabled(TGameButton button, bool on) override;
    void showWaitMode() override;
    void hideWaitPanel() override;
    void hideSeatCards(int seat, int from, int to) override;
    void showTableCards(const QStringList &codes) override;
    void setPassMarker(int seat, bool shown) override;
    void showSeat(int seat, const QString &nickText, const QString &credit, bool creditShown) override;
    void setCreditText(int seat, const QString &text) override;
    void setSeatAway(int seat, bool away) override;
    void redrawTable() override;
    void showMessage(TBoxKind kind, const QString &text) override;
    bool askYesNo(const QString &text) override;
    void showHand(bool faceUp) override;
    void sortHandByNumber() override;
    void lowerAllCards() override;
    void startCountdown() override;
    void stopCountdown() override;
    void addChatSystemLine(const QString &line) override;
    void addChatLine(const QString &nick, const QString &text) override;
    QString settingsNick() const override;
    void beep();
    int beepCount() const { return m_beeps; }

protected:
    void showEvent(QShowEvent *) override;
    void closeEvent(QCloseEvent *) override;
    bool event(QEvent *) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenu();
    void buildChatPanel();
    void createControllers();
    void wireSignals();
    void layoutClient(int clientWidth);
    void fitWhoThrow();
    void drawTable();
    template <class W> W *named(W *w, const QString &name);
    QHash<QString, QWidget *> m_byName; // lower-case object name -> control
    QWidget *m_client = nullptr;         // the central widget: the client area under the menu bar
    QIcon m_windowIcon;
    QIcon m_blankIcon;
    bool m_blankIconShown = false;
    int m_beeps = 0;
    bool m_shownOnce = false;
    bool m_destroyed = false;
    bool m_unattended = false;      // ending for a signal: no message box
};

extern TmainFrm *mainFrm; // the program's window (the first one created)
