#include "ui/frmsetting.h"
// placeholder until the connection settings land
TfrmSetting::TfrmSetting(TmainFrm &w) : w(w) {}
void TfrmSetting::btnConnectClick() {}
void TfrmSetting::btnHostClick() {}
bool TfrmSetting::validPort() { return false; }
void TfrmSetting::loadSettings() {}
bool TfrmSetting::saveSettings() { return true; }
void TfrmSetting::mnuSettingClick() {}
void TfrmSetting::mnuDisconnClick() {}
QString TfrmSetting::defaultHost() { return QStringLiteral("localhost"); }
