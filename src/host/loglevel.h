#pragma once
// How much a log line matters: a server prints the lines up to the level its operator chose.
enum class LogLevel { Error, Warning, Info, Debug };
