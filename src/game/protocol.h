#pragma once
// The catalogue of game messages and the conversions their values go through.
#include <QString>
#include <QStringList>

namespace Tag {
// Admission and housekeeping
inline const QString REQVER = QStringLiteral("[REQVER]");
inline const QString REQINFO = QStringLiteral("[REQINFO]");
inline const QString FULL = QStringLiteral("[FULL]");
inline const QString ONGAME = QStringLiteral("[ONGAME]");
inline const QString CHKVER = QStringLiteral("[CHKVER]");
inline const QString DIFFVER = QStringLiteral("[DIFFVER]");
inline const QString REQJOIN = QStringLiteral("[REQJOIN]");
inline const QString CHNICK = QStringLiteral("[CHNICK]");
inline const QString USER = QStringLiteral("[USER]");
inline const QString CREDIT = QStringLiteral("[CREDIT]");
inline const QString WAITMODE = QStringLiteral("[WAITMODE]");
inline const QString PING = QStringLiteral("[PING]");
inline const QString PONG = QStringLiteral("[PONG]");
// Features beyond the old protocol, agreed per connection: value1 the words, each followed by "#"
inline const QString CAPS = QStringLiteral("[CAPS]");
// A server of many tables: the table a copy asks for (value1 its name), and where it was seated
inline const QString PICKTABLE = QStringLiteral("[PICKTABLE]");
inline const QString TABLENAME = QStringLiteral("[TABLENAME]");
// Rejoining a held seat after a dropped connection
inline const QString SEATKEY = QStringLiteral("[SEATKEY]");
inline const QString AWAY = QStringLiteral("[AWAY]");
inline const QString REJOIN = QStringLiteral("[REJOIN]");
inline const QString TABLE = QStringLiteral("[TABLE]");
// Game
inline const QString NEXTGAME = QStringLiteral("[NEXTGAME]");
inline const QString CARD = QStringLiteral("[CARD]");
inline const QString NEWGAME = QStringLiteral("[NEWGAME]");
inline const QString SMALLESTCARD = QStringLiteral("[SMALLESTCARD]");
inline const QString WHOSETURN = QStringLiteral("[WHOSETURN]");
inline const QString THROW = QStringLiteral("[THROW]");
inline const QString PASS = QStringLiteral("[PASS]");
inline const QString GAMEOVER = QStringLiteral("[GAMEOVER]");
inline const QString iSTART = QStringLiteral("[iSTART]");
// The checkable deal, with copies that announced it: commitment, seeds, and the revealed secret
inline const QString DEALHASH = QStringLiteral("[DEALHASH]");
inline const QString DEALSEED = QStringLiteral("[DEALSEED]");
inline const QString DEALSEEDS = QStringLiteral("[DEALSEEDS]");
inline const QString DEALKEY = QStringLiteral("[DEALKEY]");
// Chat
inline const QString SYSTEM = QStringLiteral("[SYSTEM]");
inline const QString CHAT = QStringLiteral("[CHAT]");
// value1 of "[USER]"
inline const QString JOIN = QStringLiteral("[JOIN]");
inline const QString QUIT = QStringLiteral("[QUIT]");
} // namespace Tag

inline const QString kVersionText = QStringLiteral("Quadrix v1.11");

// The whole text must be a decimal integer (optional sign); false otherwise.
bool strictToInt(const QString &text, int *value);
// Leading blanks skipped, optional sign, digits up to the first other character; 0 if none.
int lenientToInt(const QString &text);

// The words of the features a copy of this program may announce in "[CAPS]".
namespace Feature {
inline const QString DealCheck = QStringLiteral("dealcheck");
inline const QString Unpaced = QStringLiteral("unpaced");
// After a claim the host refused during a deal, the copy takes the deal's state again as a rejoin does.
inline const QString Resync = QStringLiteral("resync");
// The copy shows the name of the server's table it sits at ("[TABLENAME]").
inline const QString Tables = QStringLiteral("tables");
} // namespace Feature

// The feature words of a "[CAPS]" value ("dealcheck#unpaced#"), and back.
QStringList splitFeatureWords(const QString &value);
QString joinFeatureWords(const QStringList &words);

// A table's name: 1 to 20 ASCII letters, digits, '-' or '_'.
bool isValidTableName(const QString &name);
inline const QString kTableNameRule =
    QStringLiteral("A table name holds 1 to 20 letters (A-Z, a-z), digits, '-' or '_'.");

// A nick with one blank after each character, trimmed: "Ann" -> "A n n".
QString letterSpaced(const QString &nick);
inline const QString kEmptySeatText = QStringLiteral("E M P T Y  ");
