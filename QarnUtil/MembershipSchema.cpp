#include "MembershipSchema.h"

#include <cstring>

#include "Resource.h"

namespace qinstall {

const std::vector<const char*> kMembershipStatements = {
    "CREATE TABLE [qmb_user] ( [user_id]   varchar(50)  CONSTRAINT [PK_qmb_user] PRIMARY KEY, "
    "[login]     varchar(50)  NOT NULL, [password]  varchar(50)  NULL, [status]    int          NULL, "
    "[expdate]   datetime     NULL, [name]      varchar(100) NULL, [email]     varchar(50)  NULL, "
    "[question]  varchar(50)  NULL, [answer]    varchar(50)  NULL, [language]  varchar(20)  NULL, "
    "[lastvisit] datetime     NULL, [lastsid]   varchar(50)  NULL, [listlength] int\t\t  NULL )",
    "CREATE TABLE [qmb_group] ( [name]        varchar(50)  CONSTRAINT [PK_qmb_group] PRIMARY KEY, "
    "[description] varchar(100) NULL )",
    "CREATE TABLE [qmb_membership] ( [user_id]  varchar(50) NOT NULL CONSTRAINT [FK_qmb_membership_qmb_user] "
    "REFERENCES [qmb_user] ([user_id]), [group]    varchar(50) NOT NULL CONSTRAINT [FK_qmb_membership_qmb_group] "
    "REFERENCES [qmb_group] ([name]) )",
    "CREATE TABLE [qmb_certificate] ( [certificate_id]  varchar(50) NULL, [user_id]  varchar(50) NULL , "
    "[raw_certificate] text NULL )",
    "CREATE TABLE qmb_ra ( certificate_id  varchar(50) NULL, request_id int NULL, user_id varchar(50) NULL, "
    "raw_certificate text NULL, raw_request text NULL, req_status int NULL, cert_status int NULL, "
    "uid COUNTER(1,1))",
    "CREATE UNIQUE INDEX [IX_qmb_user_login] ON [qmb_user]([login])",
    "CREATE INDEX [IX_qmb_membership_user] ON [qmb_membership]([user_id])",
    "CREATE INDEX [IX_qmb_membership_group] ON [qmb_membership]([group])",
};

const std::vector<CColumnName> kMembershipColumns = {
    {"qmb_user", "user_id"},          {"qmb_user", "login"},
    {"qmb_user", "password"},         {"qmb_user", "status"},
    {"qmb_user", "expdate"},          {"qmb_user", "lastvisit"},
    {"qmb_user", "name"},             {"qmb_user", "email"},
    {"qmb_user", "question"},         {"qmb_user", "answer"},
    {"qmb_user", "language"},         {"qmb_user", "listlength"},
    {"qmb_group", "name"},            {"qmb_group", "description"},
    {"qmb_membership", "user_id"},    {"qmb_membership", "group"},
    {"qmb_certificate", "certificate_id"}, {"qmb_certificate", "raw_certificate"},
    {"qmb_certificate", "user_id"},   {"qmb_ra", "certificate_id"},
    {"qmb_ra", "request_id"},         {"qmb_ra", "user_id"},
    {"qmb_ra", "raw_certificate"},    {"qmb_ra", "raw_request"},
    {"qmb_ra", "req_status"},         {"qmb_ra", "cert_status"},
    {"qmb_ra", "uid"},
};

const std::vector<const char*> kShareStatements = {
    "CREATE TABLE [share] ( [share_id]  int  IDENTITY CONSTRAINT [PK_share] PRIMARY KEY , "
    "[user_id] varchar(32)  NULL , [name] varchar(20)  NULL , [path] varchar(200) NULL   )",
    "CREATE TABLE [share_rights] ( [share_id]  int  NOT NULL , [user_id] varchar(32)  NOT NULL  )",
};

const std::vector<CColumnName> kShareColumns = {
    {"share", "share_id"}, {"share", "user_id"},          {"share", "name"},
    {"share", "path"},     {"share_rights", "share_id"}, {"share_rights", "user_id"},
};

const CBuiltInRow kAdministratorUser = {
    IDS_CREATE_USER_ADMINISTRATOR, "SELECT Count(*) FROM [qmb_user] WHERE [user_id] = 'Administrator'",
    "INSERT INTO [qmb_user] ([user_id],[login],[status]) VALUES ('Administrator','Administrator',0)"};

const CBuiltInRow kAdministratorInWriters = {
    IDS_ADD_ADMIN_TO_WRITERS,
    "SELECT Count(*) FROM [qmb_membership] WHERE [user_id] = 'Administrator' AND [group] = 'Writers'",
    "INSERT INTO [qmb_membership] ([user_id],[group]) VALUES ('Administrator','Writers')"};

const std::vector<CBuiltInRow> kMembershipRows = {
    {IDS_CREATE_GROUP_ADMINISTRATORS, "SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Administrators'",
     "INSERT INTO [qmb_group] ([name],[description]) VALUES ('Administrators','super group')"},
    {IDS_CREATE_GROUP_REGISTERED, "SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Registered'",
     "INSERT INTO [qmb_group] ([name],[description]) VALUES ('Registered','registered users')"},
    kAdministratorUser,
    {IDS_ADD_ADMIN_TO_ADMINISTRATORS,
     "SELECT Count(*) FROM [qmb_membership] WHERE [user_id] = 'Administrator' AND [group] = 'Administrators'",
     "INSERT INTO [qmb_membership] ([user_id],[group]) VALUES ('Administrator','Administrators')"},
    {IDS_ADD_ADMIN_TO_REGISTERED,
     "SELECT Count(*) FROM [qmb_membership] WHERE [user_id] = 'Administrator' AND [group] = 'Registered'",
     "INSERT INTO [qmb_membership] ([user_id],[group]) VALUES ('Administrator','Registered')"},
};

const std::vector<CBuiltInRow> kShareGroupRows = {
    {IDS_CREATE_GROUP_WRITERS, "SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Writers'",
     "INSERT INTO [qmb_group] ([name],[description]) VALUES ('Writers','writers group')"},
    {IDS_CREATE_GROUP_READERS, "SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Readers'",
     "INSERT INTO [qmb_group] ([name],[description]) VALUES ('Readers','readers group')"},
};

const char kSetPasswordStatement[] = "UPDATE [qmb_user] SET [password] = ? WHERE [login] = 'Administrator'";

const char kQueryUserByID[] = "SELECT [login],[password],[status],[expdate] FROM [qmb_user] WHERE [user_id] = ?";
const char kQueryUserByCertificateID[] =
    "SELECT [qmb_user].[user_id], [login], [password], [status], [expdate] FROM [qmb_certificate] INNER JOIN "
    "[qmb_user] ON [qmb_certificate].[user_id] = [qmb_user].[user_id] WHERE [qmb_certificate].[certificate_id] = ?";
const char kQueryUserByName[] = "SELECT [user_id],[password],[status],[expdate] FROM [qmb_user] WHERE [login] = ?";
const char kQueryGroup[] =
    "SELECT [qmb_group].[name] FROM ([qmb_user] INNER JOIN [qmb_membership] ON "
    "[qmb_user].[user_id]=[qmb_membership].[user_id]) INNER JOIN [qmb_group] ON "
    "[qmb_membership].[group]=[qmb_group].[name] WHERE [qmb_user].[login]=?";

namespace {

bool EqualNoCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

constexpr std::size_t kAlphabetSize = 10 + 26 + 25;
// Bytes from here on would favour the alphabet's first characters.
constexpr unsigned kAcceptedBytes = 256 / kAlphabetSize * kAlphabetSize;
// Enough bytes for one password in nearly every draw.
constexpr std::size_t kRandomBatch = 16;

}  // namespace

const char kPasswordAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxy";
static_assert(sizeof(kPasswordAlphabet) - 1 == kAlphabetSize, "the alphabet has 61 characters");

std::size_t CountKnownColumns(const std::vector<std::pair<std::string, std::string>>& rows,
                              const std::vector<CColumnName>& known) {
  std::size_t count = 0;
  for (const auto& row : rows) {
    for (const CColumnName& name : known) {
      if (EqualNoCase(row.first, name.table) && EqualNoCase(row.second, name.column)) {
        ++count;
        break;
      }
    }
  }
  return count;
}

bool DrawPassword(const CRandomBytes& randomBytes, char (&password)[kPasswordLength + 1]) {
  std::size_t drawn = 0;
  while (drawn < kPasswordLength) {
    unsigned char batch[kRandomBatch] = {};
    if (!randomBytes(batch, sizeof(batch))) return false;
    for (std::size_t i = 0; i < sizeof(batch) && drawn < kPasswordLength; ++i) {
      if (batch[i] < kAcceptedBytes) password[drawn++] = kPasswordAlphabet[batch[i] % kAlphabetSize];
    }
  }
  password[kPasswordLength] = '\0';
  return true;
}

}  // namespace qinstall
