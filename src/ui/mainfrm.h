#pragma once
// TmainFrm: the table window. It builds and lays out every control and shows the table of its
// session's client model: what the model holds is drawn again whenever it changes, and clicks and
// keys become the model's actions (or, at a table this window hosts, the owner's rights).
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
class THomeHosting;
class TableSession;
class ClientTable;
class TableHost;
class TTableScale;
class TKeyboardPlay;
class TTurnNotifier;
class TTableAccessibility;
class TWindowPlace;

class TmainFrm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TmainFrm(QWidget *parent = nullptr);
    static constexpr int kTableWidth = 355; // client width with the chat panel closed
    static constexpr int kStatusHeight = 19;
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

    TableSession *session = nullptr;
    // The client model of the table this window plays at, and the table host when it hosts it.
    ClientTable *client() const;
    TableHost *tableHost() const;
    // Hosting and joining, as the settings dialog starts them; false when hosting could not start.
    bool startHosting(int port, const QString &nick);
    void startJoining(const QString &host, int port, const QString &nick, const QString &table = {});
    // Leaves the table or closes it (Connection > Disconnect).
    void leaveTable();

    // The window's own controllers
    THandHandling *hand = nullptr;
    THint *hint = nullptr;              // Ctrl+H on the own turn
    TCountdown *countdown = nullptr;
    TChatPanel *chat = nullptr;
    TfrmSetting *frmSetting = nullptr;
    TBotSeats *botSeats = nullptr;      // "Add Computer Player"
    TTableScale *tableScale = nullptr;  // the table at the window's size
    TKeyboardPlay *keys = nullptr;      // play from the keyboard
    TTurnNotifier *turnNotifier = nullptr;
    TTableAccessibility *accessibility = nullptr;
    TWindowPlace *windowPlace = nullptr; // the window's size and place in the settings file
    THomeHosting *homeHosting = nullptr; // the router's port, invitations

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
    QList<QWidget *> controls() const { return m_byName.values(); }
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
    void showSeatCards(int seat, bool visible);
    void hideTableCards();
    int countTableCards() const;
    void resetGameDisplay();                          // wait mode
    void resetConnection();
    void setWhoThrow(const QString &text);            // sets, shows and re-centres txtWhoThrow
    void setStatusText(const QString &text);
    QString statusText() const;
    void setTurnMarker(int seat);                     // moves imgTurn beside screen seat 1..4 and shows it
    void restoreIcon();                               // the window's own icon back on the task bar
    void showBlankIcon();
    void setOuterWidth(int outerWidth);               // 363 closes the chat panel, 640 opens it
    bool chatOpen() const { return m_chatOpen; }
    bool blankIconShown() const { return m_blankIconShown; }
    // Draws the table as the client model holds it (tableshow.cpp).
    void showTable();
    // Screen seat 1..4 of an absolute seat, as the own player sees the table; 0 when not seated.
    int screenSeat(int absoluteSeat) const;
    int absoluteSeat(int screenSeat) const;

    // "abc" -> "a b c": the form of nick, thrower and pass labels, so side labels read downwards
    static QString letterSpaced(const QString &nick);
    static QString emptySeatText() { return QStringLiteral("E M P T Y  "); } // an empty seat's nick label

    // Connection events of the window
    void socketError(const QString &ErrMsg);
    void AlwaysOnTop1Click();
    void BeepOnTurn1Click();

    // Every message box of the program goes through here.
    QMessageBox::StandardButton showMessage(QMessageBox::Icon icon, const QString &text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    // Tests replace the modal box: the hook gets the box and answers for the user.
    using MessageHook = std::function<QMessageBox::StandardButton(TmainFrm *, QMessageBox::Icon, const QString &,
                                                                  QMessageBox::StandardButtons)>;
    static void setMessageHook(MessageHook hook);

    void beep();
    int beepCount() const { return m_beeps; }
    bool askYesNo(const QString &text);

protected:
    void showEvent(QShowEvent *) override;
    void closeEvent(QCloseEvent *) override;
    bool event(QEvent *) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class TTableScale;
    void buildControls();
    void buildMenu();
    void buildChatPanel();
    void createControllers();
    void wireSignals();
    void layoutClient(int clientWidth);
    void fitWhoThrow();
    void drawTable();
    // tableshow.cpp: the client model's events
    void bindClient(ClientTable *c);
    void bindHost(TableHost *host);
    void showSeats();
    void showDeal();
    void showButtons();
    void dealEnded(int winnerSeat);
    void bankrupt(int seat);
    void tableOver(const QString &text);
    template <class W> W *named(W *w, const QString &name);
    QHash<QString, QWidget *> m_byName; // lower-case object name -> control
    QWidget *m_client = nullptr;         // the central widget: the client area under the menu bar
    QIcon m_windowIcon;
    QIcon m_blankIcon;
    bool m_blankIconShown = false;
    int m_beeps = 0;
    bool m_shownOnce = false;
    bool m_chatOpen = false;
    bool m_destroyed = false;
    bool m_unattended = false;      // ending for a signal: no message box
    QString m_winnerText;           // " nick WIN !" once a deal is won, until the next one
};

extern TmainFrm *mainFrm; // the program's window (the first one created)
