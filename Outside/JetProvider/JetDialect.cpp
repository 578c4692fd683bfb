#include "JetDialect.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace jet {

namespace {

struct CToken {
  enum class Type { Word, Quoted, Space, Punct, Generated };
  Type type;
  std::string text;
};

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

size_t QuotedEnd(const std::string& sql, size_t start) {
  const char close = sql[start] == '[' ? ']' : sql[start];
  size_t end = sql.find(close, start + 1);
  return end == std::string::npos ? sql.size() : end + 1;
}

size_t CommentEnd(const std::string& sql, size_t start) {
  if (sql.compare(start, 2, "--") == 0) {
    size_t end = sql.find('\n', start);
    return end == std::string::npos ? sql.size() : end;
  }
  size_t end = sql.find("*/", start + 2);
  return end == std::string::npos ? sql.size() : end + 2;
}

std::vector<CToken> Tokenize(const std::string& sql) {
  std::vector<CToken> tokens;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    size_t end = i + 1;
    CToken::Type type = CToken::Type::Punct;
    if (c == '\'' || c == '"' || c == '[' || c == '`') {
      end = QuotedEnd(sql, i);
      type = CToken::Type::Quoted;
    } else if (sql.compare(i, 2, "--") == 0 || sql.compare(i, 2, "/*") == 0) {
      end = CommentEnd(sql, i);
      type = CToken::Type::Space;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      while (end < sql.size() && std::isspace(static_cast<unsigned char>(sql[end]))) ++end;
      type = CToken::Type::Space;
    } else if (IsWordChar(c)) {
      while (end < sql.size() && IsWordChar(sql[end])) ++end;
      type = CToken::Type::Word;
    }
    tokens.push_back(CToken{type, sql.substr(i, end - i)});
    i = end;
  }
  return tokens;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool IsWord(const CToken& token, const char* word) {
  return token.type == CToken::Type::Word && Lower(token.text) == Lower(word);
}

bool IsPunct(const CToken& token, char c) {
  return token.type == CToken::Type::Punct && token.text.size() == 1 && token.text[0] == c;
}

// Index of the next (or previous) token that is not blank; npos at the end.
size_t NextSolid(const std::vector<CToken>& tokens, size_t from) {
  for (size_t i = from; i < tokens.size(); ++i) {
    if (tokens[i].type != CToken::Type::Space) return i;
  }
  return std::string::npos;
}

size_t PreviousSolid(const std::vector<CToken>& tokens, size_t before) {
  for (size_t i = before; i-- > 0;) {
    if (tokens[i].type != CToken::Type::Space) return i;
  }
  return std::string::npos;
}

std::string Join(const std::vector<CToken>& tokens) {
  std::string text;
  for (const CToken& token : tokens) text += token.text;
  return text;
}

// Drops a "(seed, step)" list that follows tokens[at].
void RemoveSeedList(std::vector<CToken>& tokens, size_t at) {
  size_t open = NextSolid(tokens, at + 1);
  if (open == std::string::npos || !IsPunct(tokens[open], '(')) return;
  size_t close = open;
  while (close < tokens.size() && !IsPunct(tokens[close], ')')) ++close;
  if (close == tokens.size()) return;
  tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(open),
               tokens.begin() + static_cast<std::ptrdiff_t>(close + 1));
}

// Makes the INTEGER column at typeIndex SQLite's auto-numbered key: keeps a
// PRIMARY KEY of the same column definition, else adds one.
void MakeAutoNumbered(std::vector<CToken>& tokens, size_t typeIndex) {
  int depth = 0;
  for (size_t i = typeIndex + 1; i < tokens.size(); ++i) {
    if (IsPunct(tokens[i], '(')) ++depth;
    if (IsPunct(tokens[i], ')') && depth-- == 0) break;
    if (IsPunct(tokens[i], ',') && depth == 0) break;
    size_t key = NextSolid(tokens, i + 1);
    if (depth == 0 && IsWord(tokens[i], "PRIMARY") && key != std::string::npos && IsWord(tokens[key], "KEY")) {
      tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(key + 1),
                    CToken{CToken::Type::Generated, " AUTOINCREMENT"});
      return;
    }
  }
  tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(typeIndex + 1),
                CToken{CToken::Type::Generated, " PRIMARY KEY AUTOINCREMENT"});
}

bool IsIntegerTypeName(const CToken& token) {
  return IsWord(token, "int") || IsWord(token, "integer") || IsWord(token, "long") || IsWord(token, "smallint");
}

bool IsDefinitionStatement(const std::vector<CToken>& tokens) {
  size_t first = NextSolid(tokens, 0);
  return first != std::string::npos && (IsWord(tokens[first], "CREATE") || IsWord(tokens[first], "ALTER"));
}

// A name token without its brackets or quotes.
std::string NameOf(const CToken& token) {
  if (token.type == CToken::Type::Quoted && token.text.size() >= 2 && token.text[0] != '\'') {
    return token.text.substr(1, token.text.size() - 2);
  }
  return token.type == CToken::Type::Word ? token.text : std::string();
}

bool IsComparison(const std::vector<CToken>& tokens, size_t index) {
  const CToken& token = tokens[index];
  return token.type == CToken::Type::Punct ? std::string("=<>").find(token.text[0]) != std::string::npos
                                           : IsWord(token, "LIKE");
}

// "[col] = ?", "[t].[col]<>?", "col LIKE ?": the column before the operator.
std::string ComparedColumn(const std::vector<CToken>& tokens, size_t marker) {
  size_t op = PreviousSolid(tokens, marker);
  while (op != std::string::npos && IsComparison(tokens, op)) {
    size_t name = PreviousSolid(tokens, op);
    if (name == std::string::npos) return std::string();
    if (!IsComparison(tokens, name)) return NameOf(tokens[name]);
    op = name;
  }
  return std::string();
}

// The names listed in the parenthesised group that opens at tokens[open].
std::vector<std::string> GroupItems(const std::vector<CToken>& tokens, size_t open, size_t* close) {
  std::vector<std::string> items(1);
  size_t i = open + 1;
  for (; i < tokens.size() && !IsPunct(tokens[i], ')'); ++i) {
    if (IsPunct(tokens[i], ',')) items.emplace_back();
    else if (tokens[i].type != CToken::Type::Space) items.back() += tokens[i].text == "?" ? "?" : NameOf(tokens[i]);
  }
  if (close) *close = i;
  return items;
}

// INSERT INTO t (a, b) VALUES (?, ?): a marker's column by its position.
std::vector<std::string> InsertedColumns(const std::vector<CToken>& tokens) {
  size_t first = NextSolid(tokens, 0);
  if (first == std::string::npos || !IsWord(tokens[first], "INSERT")) return {};
  auto open = std::find_if(tokens.begin(), tokens.end(), [](const CToken& t) { return IsPunct(t, '('); });
  if (open == tokens.end()) return {};
  size_t close = 0;
  std::vector<std::string> columns = GroupItems(tokens, static_cast<size_t>(open - tokens.begin()), &close);
  size_t values = NextSolid(tokens, close + 1);
  size_t valuesOpen = values == std::string::npos ? values : NextSolid(tokens, values + 1);
  if (valuesOpen == std::string::npos || !IsWord(tokens[values], "VALUES") || !IsPunct(tokens[valuesOpen], '(')) {
    return {};
  }
  std::vector<std::string> items = GroupItems(tokens, valuesOpen, nullptr);
  std::vector<std::string> markers;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == "?") markers.push_back(i < columns.size() ? columns[i] : std::string());
  }
  return markers;
}

CJetColumnType Fixed(std::uint16_t dbType, std::uint32_t size, std::uint8_t precision) {
  CJetColumnType type;
  type.dbType = dbType;
  type.size = size;
  type.precision = precision;
  return type;
}

CJetColumnType Long(std::uint16_t dbType, std::uint32_t size) {
  CJetColumnType type;
  type.dbType = dbType;
  type.size = size;
  type.isLong = true;
  return type;
}

}  // namespace

std::string TranslateToSqlite(const std::string& jetSql) {
  std::vector<CToken> tokens = Tokenize(jetSql);
  if (!IsDefinitionStatement(tokens)) return jetSql;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (IsWord(tokens[i], "COUNTER") || IsWord(tokens[i], "AUTOINCREMENT")) {
      tokens[i] = CToken{CToken::Type::Generated, "INTEGER"};
      RemoveSeedList(tokens, i);
      MakeAutoNumbered(tokens, i);
    } else if (IsWord(tokens[i], "IDENTITY")) {
      size_t type = PreviousSolid(tokens, i);
      tokens[i].text.clear();
      RemoveSeedList(tokens, i);
      if (type == std::string::npos || !IsIntegerTypeName(tokens[type])) continue;
      tokens[type] = CToken{CToken::Type::Generated, "INTEGER"};
      MakeAutoNumbered(tokens, type);
    }
  }
  return Join(tokens);
}

CJetColumnType JetTypeOfDeclaration(const std::string& declaredType) {
  const std::string declared = Lower(declaredType);
  const size_t open = declared.find('(');
  std::string base = declared.substr(0, open);
  base.erase(std::remove_if(base.begin(), base.end(), [](unsigned char c) { return std::isspace(c); }), base.end());
  const long size = open == std::string::npos ? 0 : std::strtol(declared.c_str() + open + 1, nullptr, 10);
  const auto sized = [size](std::uint32_t fallback) { return size > 0 ? static_cast<std::uint32_t>(size) : fallback; };

  if (base == "int" || base == "integer" || base == "long" || base == "counter" || base == "integer4") {
    return Fixed(kDbTypeI4, 4, 10);
  }
  if (base == "smallint" || base == "short" || base == "integer2") return Fixed(kDbTypeI2, 2, 5);
  if (base == "tinyint" || base == "byte" || base == "integer1") return Fixed(kDbTypeUI1, 1, 3);
  if (base == "datetime" || base == "date" || base == "time" || base == "timestamp") return Fixed(kDbTypeDate, 8, 0);
  if (base == "bit" || base == "yesno" || base == "logical" || base == "boolean") return Fixed(kDbTypeBool, 2, 0);
  if (base == "real" || base == "single" || base == "float4") return Fixed(kDbTypeR4, 4, 7);
  if (base == "float" || base == "double" || base == "float8" || base == "number" || base == "money" ||
      base == "currency" || base == "decimal" || base == "numeric") {
    return Fixed(kDbTypeR8, 8, 15);
  }
  if (base == "binary" || base == "varbinary") return Fixed(kDbTypeBytes, sized(510), 0);
  if (base == "image" || base == "longbinary" || base == "oleobject" || base == "general" || base == "blob") {
    return Long(kDbTypeBytes, 1073741823);
  }
  if ((base == "text" && size <= 0) || base == "memo" || base == "longtext" || base == "longchar" ||
      base == "note" || base == "ntext") {
    return Long(kDbTypeWStr, 536870910);
  }
  CJetColumnType text;
  text.size = sized(255);
  return text;
}

std::vector<std::string> ParameterColumnNames(const std::string& sql) {
  const std::vector<CToken> tokens = Tokenize(sql);
  const std::vector<std::string> inserted = InsertedColumns(tokens);
  std::vector<std::string> names;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (!IsPunct(tokens[i], '?')) continue;
    const size_t position = names.size();
    names.push_back(position < inserted.size() ? inserted[position] : ComparedColumn(tokens, i));
  }
  return names;
}

}  // namespace jet
