#pragma once
// The hub's clock step and reading step, the same at both ends of a connection.
namespace HubTiming {
inline constexpr int kTickMs = 5;            // the send and receive timers' step
inline constexpr int kReadPiece = 64 * 1024; // bytes taken from a socket at a time
} // namespace HubTiming
