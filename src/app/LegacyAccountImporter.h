#pragma once

#include <QString>

// Imports the remembered accounts that an older client left beside the executable:
// "users.json" (Base64 of a JSON array) and "info" (AES-128-CBC of the same Base64 text).
// Each file is read once and deleted at once, even when its content cannot be parsed.
namespace LegacyAccountImporter {

// Runs the import from dir (the executable's folder); returns the number of accounts written.
int ImportLegacyAccounts(const QString& dir);

// Parses a JSON array of {"usrName", "usrPwd", "isRemberPwd"} (duplicate keys rejected) and
// writes each account with DBManager::AddUser; returns the number written.
int ImportJson(const QByteArray& utf8Json);

// Encrypts a Base64 text the way an older client wrote "info"; used to make test files.
QByteArray EncryptInfo(const QByteArray& base64Text);

}  // namespace LegacyAccountImporter
