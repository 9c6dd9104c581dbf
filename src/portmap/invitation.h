#pragma once
// Invitation links: quadrix://HOST:PORT, or quadrix://HOST:PORT/TABLE for a named table on a server.
// HOST is a name, an IPv4 address or an IPv6 address in brackets.
#include <QString>
#include <optional>

struct Invitation
{
    QString host;  // without brackets
    int port = 0;
    QString table; // empty: the host's own table
    bool operator==(const Invitation &) const = default;
};

QString invitationLink(const Invitation &invitation);
// The invitation, or nothing with *why saying in a sentence what is wrong with the link.
std::optional<Invitation> parseInvitation(const QString &link, QString *why = nullptr);
// Whether a text is meant as an invitation (its scheme), right or wrong.
bool looksLikeInvitation(const QString &text);
