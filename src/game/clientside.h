#pragma once
// A client's side of the table: the host's handshake and refusals.
#include <QString>

class TGameContext;

class TClientSide
{
public:
    explicit TClientSide(TGameContext &w) : w(w) {}

    // Handles "[PING]", "[REQVER]", "[REQINFO]", "[WAITMODE]", "[ONGAME]", "[FULL]", "[DIFFVER]", "[CHNICK]";
    // false for any other tag, which then goes to the common dispatcher.
    bool handleTag(const QString &tag, const QString &v1);

private:
    void refuse(const QString &text, bool error);
    TGameContext &w;
};
