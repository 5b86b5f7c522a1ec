#include "layout/filter_expression.h"

#include <cpl_string.h>

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "util/text.h"

namespace framora {

ExpressionValue ExpressionValue::Of(double value) {
  ExpressionValue result;
  result.kind = Kind::Number;
  result.number = value;
  return result;
}

ExpressionValue ExpressionValue::Of(std::string value) {
  ExpressionValue result;
  result.kind = Kind::Text;
  result.text = std::move(value);
  return result;
}

std::string ExpressionValue::asText() const {
  if (kind == Kind::Text) return text;
  if (kind == Kind::Null) return {};
  if (!text.empty()) return text;
  if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 1e15)
    return std::to_string(static_cast<long long>(number));
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
  return std::string(buffer, end);
}

std::optional<double> ExpressionValue::asNumber() const {
  if (kind == Kind::Number) return number;
  if (kind == Kind::Null) return std::nullopt;
  // As QGIS reads a text as a number: blanks around it, no hexadecimal, whatever the locale.
  bool ok = false;
  const double value = QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())).toDouble(&ok);
  if (!ok) return std::nullopt;
  return value;
}

bool ExpressionValue::isTrue() const {
  if (kind == Kind::Null) return false;
  if (kind == Kind::Number) return number != 0;
  return !text.empty() && text != "0" && !EqualsIgnoringCase(text, "false");
}

FieldValues FeatureFields(const OGRFeature& feature) {
  return [&feature](const std::string& name) {
    const int index = feature.GetFieldIndex(name.c_str());
    if (index < 0 || !feature.IsFieldSetAndNotNull(index)) return ExpressionValue::Null();
    const OGRFieldType type = feature.GetFieldDefnRef(index)->GetType();
    if (type == OFTInteger || type == OFTInteger64 || type == OFTReal) {
      ExpressionValue value = ExpressionValue::Of(feature.GetFieldAsDouble(index));
      // Whole numbers keep their digits past a double's; a decimal reads as QGIS shows it,
      // not with the places the data source pads it to ("1500.000").
      if (type != OFTReal) value.text = feature.GetFieldAsString(index);
      return value;
    }
    if (type == OFTDate || type == OFTDateTime) {
      // As QGIS writes dates and times as text: 2020-01-02, 2020-01-02T03:04:05.000.
      int year = 0, month = 0, day = 0, hour = 0, minute = 0, zone = 0;
      float second = 0;
      if (feature.GetFieldAsDateTime(index, &year, &month, &day, &hour, &minute, &second, &zone)) {
        const int millis = static_cast<int>(std::lround(second * 1000));
        return ExpressionValue::Of(type == OFTDate ? std::string(CPLSPrintf("%04d-%02d-%02d", year, month, day))
                                                   : std::string(CPLSPrintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d", year,
                                                                            month, day, hour, minute, millis / 1000,
                                                                            millis % 1000)));
      }
    }
    return ExpressionValue::Of(std::string(feature.GetFieldAsString(index)));
  };
}

namespace {

enum class Op {
  Literal, Field, Or, And, Not, Negate,
  Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual,
  Is, IsNot, In, NotIn, Like, NotLike, ILike, NotILike,
  Add, Subtract, Multiply, Divide, Modulo, Concat, Function,
};

}  // namespace

struct FilterExpression::Node {
  Op op = Op::Literal;
  ExpressionValue value;     // a literal's
  std::string name;          // a field's or a function's
  std::vector<std::unique_ptr<Node>> operands;
  std::unique_ptr<QRegularExpression> pattern;  // LIKE against a literal, made once
  int depth = 1;  // of the tree below, this node counted
};

namespace {

using Node = FilterExpression::Node;
using NodePtr = std::unique_ptr<Node>;

enum class TokenKind { End, Number, Text, Field, Word, Symbol };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;  // a word upper-cased for keywords is compared through Is()
  double number = 0;
};

// Deeper expressions than these are refused: parsing, evaluating and freeing them recurse once a
// level, the parser many times a bracket.
constexpr int kDeepestExpression = 1000;
constexpr int kDeepestNesting = 256;

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  NodePtr parseAll() {
    if (!tokenize()) return nullptr;
    NodePtr root = parseOr();
    if (root && peek().kind != TokenKind::End) return fail("在“" + peek().text + "”处无法理解");
    return root;
  }
  const std::string& error() const { return error_; }

 private:
  NodePtr fail(const std::string& message) {
    if (error_.empty()) error_ = message;
    return nullptr;
  }

  bool tokenize() {
    size_t i = 0;
    const size_t n = text_.size();
    while (i < n) {
      const unsigned char c = static_cast<unsigned char>(text_[i]);
      if (std::isspace(c)) {
        ++i;
      } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(text_[i + 1])))) {
        // Digits, a point and an exponent, read the same whatever the locale.
        const auto digits = [&](size_t at) {
          while (at < n && std::isdigit(static_cast<unsigned char>(text_[at]))) ++at;
          return at;
        };
        size_t next = digits(i);
        if (next < n && text_[next] == '.') next = digits(next + 1);
        bool tiny = false;  // a negative exponent: too small a number reads as 0, too large as infinity
        if (next < n && (text_[next] == 'e' || text_[next] == 'E')) {
          size_t exponent = next + 1;
          if (exponent < n && (text_[exponent] == '+' || text_[exponent] == '-')) tiny = text_[exponent++] == '-';
          if (digits(exponent) > exponent) next = digits(exponent);
        }
        Token token{TokenKind::Number, text_.substr(i, next - i), 0};
        const auto [end, problem] = std::from_chars(text_.data() + i, text_.data() + next, token.number);
        if (problem == std::errc::result_out_of_range)
          token.number = tiny ? 0 : HUGE_VAL;
        else if (problem != std::errc() || end != text_.data() + next)
          return fail("在“" + token.text + "”处无法理解"), false;
        tokens_.push_back(token);
        i = next;
      } else if (c == '\'' || c == '"') {
        // '' and "" stand for the quote itself; a backslash escapes the next character.
        Token token{c == '\'' ? TokenKind::Text : TokenKind::Field, {}, 0};
        size_t j = i + 1;
        bool closed = false;
        while (j < n) {
          if (text_[j] == '\\' && j + 1 < n) {
            const char escaped = text_[j + 1];
            token.text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
            j += 2;
          } else if (text_[j] == static_cast<char>(c)) {
            if (j + 1 < n && text_[j + 1] == static_cast<char>(c)) {
              token.text += static_cast<char>(c);
              j += 2;
            } else {
              closed = true;
              ++j;
              break;
            }
          } else {
            token.text += text_[j++];
          }
        }
        if (!closed) return fail("引号没有闭合"), false;
        tokens_.push_back(token);
        i = j;
      } else if (std::isalpha(c) || c == '_' || c >= 0x80) {
        size_t j = i;
        while (j < n) {
          const unsigned char d = static_cast<unsigned char>(text_[j]);
          if (!(std::isalnum(d) || d == '_' || d >= 0x80)) break;
          ++j;
        }
        tokens_.push_back(Token{TokenKind::Word, text_.substr(i, j - i), 0});
        i = j;
      } else {
        static const char* const symbols[] = {"<>", "!=", "<=", ">=", "||", "=", "<", ">", "+", "-",
                                              "*", "/", "%", "(", ")", ","};
        bool found = false;
        for (const char* symbol : symbols) {
          const size_t length = std::char_traits<char>::length(symbol);
          if (text_.compare(i, length, symbol) == 0) {
            tokens_.push_back(Token{TokenKind::Symbol, symbol, 0});
            i += length;
            found = true;
            break;
          }
        }
        if (!found) return fail(std::string("不认识的字符“") + static_cast<char>(c) + "”"), false;
      }
    }
    tokens_.push_back(Token{});
    return true;
  }

  const Token& peek(size_t ahead = 0) const { return tokens_[std::min(position_ + ahead, tokens_.size() - 1)]; }
  bool isWord(const char* word, size_t ahead = 0) const {
    return peek(ahead).kind == TokenKind::Word && EqualsIgnoringCase(peek(ahead).text, word);
  }
  bool isSymbol(const char* symbol) const { return peek().kind == TokenKind::Symbol && peek().text == symbol; }
  bool acceptWord(const char* word) {
    if (!isWord(word)) return false;
    ++position_;
    return true;
  }
  bool acceptSymbol(const char* symbol) {
    if (!isSymbol(symbol)) return false;
    ++position_;
    return true;
  }

  NodePtr Make(Op op, NodePtr left, NodePtr right = nullptr) {
    auto node = std::make_unique<Node>();
    node->op = op;
    node->operands.push_back(std::move(left));
    if (right) node->operands.push_back(std::move(right));
    return Measured(std::move(node));
  }

  NodePtr Measured(NodePtr node) {
    for (const NodePtr& operand : node->operands) node->depth = std::max(node->depth, operand->depth + 1);
    if (node->depth > kDeepestExpression) return fail("表达式嵌套太深");
    return node;
  }

  // Counts how deep the parser has descended through brackets, NOT and signs.
  class Descent {
   public:
    explicit Descent(Parser& parser) : parser_(parser) { ++parser_.nesting_; }
    ~Descent() { --parser_.nesting_; }
    Descent(const Descent&) = delete;
    Descent& operator=(const Descent&) = delete;
    bool tooDeep() const { return parser_.nesting_ > kDeepestNesting; }

   private:
    Parser& parser_;
  };

  NodePtr parseOr() {
    NodePtr left = parseAnd();
    while (left && acceptWord("OR")) {
      NodePtr right = parseAnd();
      if (!right) return nullptr;
      left = Make(Op::Or, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr parseAnd() {
    NodePtr left = parseNot();
    while (left && acceptWord("AND")) {
      NodePtr right = parseNot();
      if (!right) return nullptr;
      left = Make(Op::And, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr parseNot() {
    const Descent descent(*this);
    if (descent.tooDeep()) return fail("表达式嵌套太深");
    if (acceptWord("NOT")) {
      NodePtr operand = parseNot();
      return operand ? Make(Op::Not, std::move(operand)) : nullptr;
    }
    return parseComparison();
  }

  NodePtr parseComparison() {
    NodePtr left = parseAdditive();
    while (left) {
      static const std::pair<const char*, Op> comparisons[] = {
          {"=", Op::Equal}, {"<>", Op::NotEqual}, {"!=", Op::NotEqual}, {"<=", Op::LessOrEqual},
          {">=", Op::GreaterOrEqual}, {"<", Op::Less}, {">", Op::Greater}};
      bool matched = false;
      for (const auto& [symbol, op] : comparisons)
        if (acceptSymbol(symbol)) {
          NodePtr right = parseAdditive();
          if (!right) return nullptr;
          left = Make(op, std::move(left), std::move(right));
          matched = true;
          break;
        }
      if (matched) continue;
      if (acceptWord("IS")) {
        const bool negated = acceptWord("NOT");
        NodePtr right = parseAdditive();
        if (!right) return nullptr;
        left = Make(negated ? Op::IsNot : Op::Is, std::move(left), std::move(right));
        continue;
      }
      const bool negated = isWord("NOT") && (isWord("IN", 1) || isWord("LIKE", 1) || isWord("ILIKE", 1));
      if (negated) ++position_;
      if (acceptWord("IN")) {
        left = parseList(std::move(left), negated ? Op::NotIn : Op::In);
        continue;
      }
      if (isWord("LIKE") || isWord("ILIKE")) {
        const bool caseless = isWord("ILIKE");
        ++position_;
        NodePtr right = parseAdditive();
        if (!right) return nullptr;
        const Op op = caseless ? (negated ? Op::NotILike : Op::ILike) : (negated ? Op::NotLike : Op::Like);
        left = Make(op, std::move(left), std::move(right));
        if (!left) return nullptr;
        // Against NULL the result is NULL, which evaluating finds without a pattern.
        if (left->operands[1]->op == Op::Literal && !left->operands[1]->value.isNull())
          left->pattern = LikePattern(left->operands[1]->value.asText(), caseless);
        continue;
      }
      break;
    }
    return left;
  }

  NodePtr parseList(NodePtr left, Op op) {
    if (!acceptSymbol("(")) return fail("IN后面应有括号");
    auto node = Make(op, std::move(left));
    if (!node) return nullptr;
    do {
      NodePtr item = parseOr();
      if (!item) return nullptr;
      node->operands.push_back(std::move(item));
    } while (acceptSymbol(","));
    if (!acceptSymbol(")")) return fail("括号没有闭合");
    return Measured(std::move(node));
  }

  NodePtr parseAdditive() {
    NodePtr left = parseMultiplicative();
    while (left && (isSymbol("+") || isSymbol("-"))) {
      const Op op = peek().text == "+" ? Op::Add : Op::Subtract;
      ++position_;
      NodePtr right = parseMultiplicative();
      if (!right) return nullptr;
      left = Make(op, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr parseMultiplicative() {
    NodePtr left = parseConcat();
    while (left && (isSymbol("*") || isSymbol("/") || isSymbol("%"))) {
      const Op op = peek().text == "*" ? Op::Multiply : peek().text == "/" ? Op::Divide : Op::Modulo;
      ++position_;
      NodePtr right = parseConcat();
      if (!right) return nullptr;
      left = Make(op, std::move(left), std::move(right));
    }
    return left;
  }

  // QGIS binds || tighter than arithmetic.
  NodePtr parseConcat() {
    NodePtr left = parseUnary();
    while (left && acceptSymbol("||")) {
      NodePtr right = parseUnary();
      if (!right) return nullptr;
      left = Make(Op::Concat, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr parseUnary() {
    const Descent descent(*this);
    if (descent.tooDeep()) return fail("表达式嵌套太深");
    if (acceptSymbol("-")) {
      NodePtr operand = parseUnary();
      return operand ? Make(Op::Negate, std::move(operand)) : nullptr;
    }
    if (acceptSymbol("+")) return parseUnary();
    return parsePrimary();
  }

  NodePtr parsePrimary() {
    const Token token = peek();
    auto node = std::make_unique<Node>();
    switch (token.kind) {
      case TokenKind::End:
        return fail("表达式不完整");
      case TokenKind::Number:
        ++position_;
        node->value = ExpressionValue::Of(token.number);
        return node;
      case TokenKind::Text:
        ++position_;
        node->value = ExpressionValue::Of(token.text);
        return node;
      case TokenKind::Field:
        ++position_;
        node->op = Op::Field;
        node->name = token.text;
        return node;
      case TokenKind::Symbol:
        if (acceptSymbol("(")) {
          NodePtr inner = parseOr();
          if (!inner) return nullptr;
          if (!acceptSymbol(")")) return fail("括号没有闭合");
          return inner;
        }
        return fail("在“" + token.text + "”处无法理解");
      case TokenKind::Word:
        break;
    }
    ++position_;
    if (EqualsIgnoringCase(token.text, "NULL")) return node;
    if (EqualsIgnoringCase(token.text, "TRUE") || EqualsIgnoringCase(token.text, "FALSE")) {
      node->value = ExpressionValue::Of(EqualsIgnoringCase(token.text, "TRUE") ? 1.0 : 0.0);
      return node;
    }
    static const char* const keywords[] = {"AND", "OR", "NOT", "IN", "LIKE", "ILIKE", "IS"};
    for (const char* keyword : keywords)
      if (EqualsIgnoringCase(token.text, keyword)) return fail("在“" + token.text + "”处无法理解");
    if (!acceptSymbol("(")) {
      node->op = Op::Field;  // a bare column name
      node->name = token.text;
      return node;
    }
    static const char* const functions[] = {"upper", "lower", "concat", "coalesce", "to_string", "tostring",
                                            "length", "trim", "to_int", "to_real", "round",
                                            "left", "right", "substr"};
    const std::string name = ToLowerAscii(token.text);
    bool known = false;
    for (const char* function : functions) known = known || name == function;
    if (!known) return fail("不支持函数" + token.text);
    node->op = Op::Function;
    node->name = name;
    if (!acceptSymbol(")")) {
      do {
        NodePtr argument = parseOr();
        if (!argument) return nullptr;
        node->operands.push_back(std::move(argument));
      } while (acceptSymbol(","));
      if (!acceptSymbol(")")) return fail("括号没有闭合");
    }
    return Measured(std::move(node));
  }

 public:
  // % any run of characters, _ one character; \% and \_ themselves.
  static std::unique_ptr<QRegularExpression> LikePattern(const std::string& like, bool caseless) {
    const QString text = QString::fromStdString(like);
    QString pattern = "^";
    for (int i = 0; i < text.size(); ++i) {
      const QChar c = text[i];
      if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '%' || text[i + 1] == '_')) {
        pattern += QRegularExpression::escape(QString(text[++i]));
      } else if (c == '%') {
        pattern += ".*";
      } else if (c == '_') {
        pattern += ".";
      } else {
        pattern += QRegularExpression::escape(QString(c));
      }
    }
    pattern += "$";
    QRegularExpression::PatternOptions options = QRegularExpression::DotMatchesEverythingOption;
    if (caseless) options |= QRegularExpression::CaseInsensitiveOption;
    auto expression = std::make_unique<QRegularExpression>(pattern, options);
    expression->optimize();  // compiled now: bands drawn side by side only read it
    return expression;
  }

 private:
  const std::string& text_;
  std::vector<Token> tokens_;
  size_t position_ = 0;
  int nesting_ = 0;
  std::string error_;
};

ExpressionValue Truth(bool value) { return ExpressionValue::Of(value ? 1.0 : 0.0); }

// A value as AND, OR and NOT take it: a text that is no number is as unknown as NULL.
std::optional<bool> Logical(const ExpressionValue& value) {
  const auto number = value.asNumber();
  if (!number) return std::nullopt;
  return *number != 0;
}

// QGIS compares as numbers unless both sides are texts; otherwise as texts. Asked whether
// they are equal (=, <>, IS, IN), it takes numbers a few units of rounding apart as equal.
std::optional<int> Compare(const ExpressionValue& left, const ExpressionValue& right, bool equality = false) {
  if (left.isNull() || right.isNull()) return std::nullopt;
  if (left.kind != ExpressionValue::Kind::Text || right.kind != ExpressionValue::Kind::Text) {
    const auto a = left.asNumber(), b = right.asNumber();
    if (a && b && equality && std::fabs(*a - *b) <= 4 * std::numeric_limits<double>::epsilon()) return 0;
    if (a && b) return *a < *b ? -1 : *a > *b ? 1 : 0;
  }
  const int order = left.asText().compare(right.asText());
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

ExpressionValue Evaluate(const Node& node, const FieldValues& fields);

ExpressionValue Arithmetic(Op op, const ExpressionValue& left, const ExpressionValue& right) {
  if (left.isNull() || right.isNull()) return ExpressionValue::Null();
  if (op == Op::Add && left.kind == ExpressionValue::Kind::Text && right.kind == ExpressionValue::Kind::Text)
    return ExpressionValue::Of(left.text + right.text);
  const auto a = left.asNumber(), b = right.asNumber();
  if (!a || !b) return ExpressionValue::Null();
  switch (op) {
    case Op::Add:
      return ExpressionValue::Of(*a + *b);
    case Op::Subtract:
      return ExpressionValue::Of(*a - *b);
    case Op::Multiply:
      return ExpressionValue::Of(*a * *b);
    case Op::Divide:
      return *b == 0 ? ExpressionValue::Null() : ExpressionValue::Of(*a / *b);
    default:
      return *b == 0 ? ExpressionValue::Null() : ExpressionValue::Of(std::fmod(*a, *b));
  }
}

ExpressionValue CallFunction(const Node& node, const FieldValues& fields) {
  std::vector<ExpressionValue> arguments;
  for (const auto& operand : node.operands) arguments.push_back(Evaluate(*operand, fields));
  const std::string& name = node.name;
  if (name == "concat") {
    std::string joined;
    for (const auto& argument : arguments) joined += argument.asText();
    return ExpressionValue::Of(joined);
  }
  if (name == "coalesce") {
    for (const auto& argument : arguments)
      if (!argument.isNull()) return argument;
    return ExpressionValue::Null();
  }
  // The other functions give NULL for a NULL argument, and for a count that is no whole number
  // QGIS could hold.
  if (arguments.empty()) return ExpressionValue::Null();
  for (const auto& argument : arguments)
    if (argument.isNull()) return ExpressionValue::Null();
  const auto whole = [](const ExpressionValue& value) -> std::optional<int> {
    const auto number = value.asNumber();
    if (!number || !(std::fabs(*number) < std::numeric_limits<int>::max())) return std::nullopt;
    return static_cast<int>(std::round(*number));
  };
  const ExpressionValue& first = arguments[0];
  const QString text = QString::fromStdString(first.asText());
  if (name == "upper") return ExpressionValue::Of(text.toUpper().toStdString());
  if (name == "lower") return ExpressionValue::Of(text.toLower().toStdString());
  if (name == "trim") return ExpressionValue::Of(text.trimmed().toStdString());
  if (name == "length") return ExpressionValue::Of(static_cast<double>(text.size()));
  if (name == "to_string" || name == "tostring") return ExpressionValue::Of(first.asText());
  if (name == "left" || name == "right") {
    const auto count = arguments.size() > 1 ? whole(arguments[1]) : std::nullopt;
    if (!count) return ExpressionValue::Null();
    return ExpressionValue::Of((name == "left" ? text.left(std::max(*count, 0)) : text.right(std::max(*count, 0))).toStdString());
  }
  if (name == "substr") {
    // Counted from 1, and from the end when negative; the length runs to the end when left out,
    // and stops that many characters short of it when negative.
    const int size = static_cast<int>(text.size());
    const auto from = arguments.size() > 1 ? whole(arguments[1]) : std::nullopt;
    const auto length = arguments.size() > 2 ? whole(arguments[2]) : std::optional<int>(size);
    if (!from || !length) return ExpressionValue::Null();
    const int start = *from > 0 ? *from - 1 : *from < 0 ? std::max(size + *from, 0) : 0;
    const int count = *length < 0 ? std::max(size + *length - start, 0) : *length;
    return ExpressionValue::Of(text.mid(start, count).toStdString());
  }
  const auto number = first.asNumber();
  if (!number) return ExpressionValue::Null();
  if (name == "to_int") return ExpressionValue::Of(std::round(*number));
  if (name == "to_real") return ExpressionValue::Of(*number);
  // round(value[, places])
  const auto places = arguments.size() > 1 ? whole(arguments[1]) : std::optional<int>(0);
  if (!places) return ExpressionValue::Null();
  const double factor = std::pow(10.0, *places);
  return ExpressionValue::Of(std::round(*number * factor) / factor);
}

ExpressionValue Evaluate(const Node& node, const FieldValues& fields) {
  const auto operand = [&](size_t i) { return Evaluate(*node.operands[i], fields); };
  switch (node.op) {
    case Op::Literal:
      return node.value;
    case Op::Field:
      return fields ? fields(node.name) : ExpressionValue::Null();
    case Op::Or: {
      const auto left = Logical(operand(0));
      if (left == true) return Truth(true);
      const auto right = Logical(operand(1));
      if (right == true) return Truth(true);
      return left && right ? Truth(false) : ExpressionValue::Null();
    }
    case Op::And: {
      const auto left = Logical(operand(0));
      if (left == false) return Truth(false);
      const auto right = Logical(operand(1));
      if (right == false) return Truth(false);
      return left && right ? Truth(true) : ExpressionValue::Null();
    }
    case Op::Not: {
      const auto value = Logical(operand(0));
      return value ? Truth(!*value) : ExpressionValue::Null();
    }
    case Op::Negate: {
      const auto value = operand(0).asNumber();
      return value ? ExpressionValue::Of(-*value) : ExpressionValue::Null();
    }
    case Op::Equal:
    case Op::NotEqual:
    case Op::Less:
    case Op::LessOrEqual:
    case Op::Greater:
    case Op::GreaterOrEqual: {
      const auto order = Compare(operand(0), operand(1), node.op == Op::Equal || node.op == Op::NotEqual);
      if (!order) return ExpressionValue::Null();
      switch (node.op) {
        case Op::Equal:
          return Truth(*order == 0);
        case Op::NotEqual:
          return Truth(*order != 0);
        case Op::Less:
          return Truth(*order < 0);
        case Op::LessOrEqual:
          return Truth(*order <= 0);
        case Op::Greater:
          return Truth(*order > 0);
        default:
          return Truth(*order >= 0);
      }
    }
    case Op::Is:
    case Op::IsNot: {
      const ExpressionValue left = operand(0), right = operand(1);
      const bool same = left.isNull() || right.isNull() ? left.isNull() && right.isNull() : Compare(left, right, true) == 0;
      return Truth(same == (node.op == Op::Is));
    }
    case Op::In:
    case Op::NotIn: {
      const ExpressionValue left = operand(0);
      if (left.isNull()) return ExpressionValue::Null();
      bool listHasNull = false;
      for (size_t i = 1; i < node.operands.size(); ++i) {
        const ExpressionValue item = operand(i);
        if (item.isNull()) {
          listHasNull = true;
        } else if (Compare(left, item, true) == 0) {
          return Truth(node.op == Op::In);
        }
      }
      return listHasNull ? ExpressionValue::Null() : Truth(node.op == Op::NotIn);
    }
    case Op::Like:
    case Op::NotLike:
    case Op::ILike:
    case Op::NotILike: {
      const ExpressionValue left = operand(0);
      if (left.isNull()) return left;
      const bool caseless = node.op == Op::ILike || node.op == Op::NotILike;
      std::unique_ptr<QRegularExpression> made;
      const QRegularExpression* pattern = node.pattern.get();
      if (pattern == nullptr) {
        const ExpressionValue right = operand(1);
        if (right.isNull()) return right;
        made = Parser::LikePattern(right.asText(), caseless);
        pattern = made.get();
      }
      const bool matched = pattern->match(QString::fromStdString(left.asText())).hasMatch();
      return Truth(matched == (node.op == Op::Like || node.op == Op::ILike));
    }
    case Op::Add:
    case Op::Subtract:
    case Op::Multiply:
    case Op::Divide:
    case Op::Modulo:
      return Arithmetic(node.op, operand(0), operand(1));
    case Op::Concat: {
      const ExpressionValue left = operand(0), right = operand(1);
      if (left.isNull() || right.isNull()) return ExpressionValue::Null();
      return ExpressionValue::Of(left.asText() + right.asText());
    }
    case Op::Function:
      return CallFunction(node, fields);
  }
  return ExpressionValue::Null();
}

}  // namespace

FilterExpression::FilterExpression(std::string text, std::unique_ptr<Node> root)
    : text_(std::move(text)), root_(std::move(root)) {}

FilterExpression::~FilterExpression() = default;

std::unique_ptr<FilterExpression> FilterExpression::Parse(const std::string& text, std::string* error) {
  Parser parser(text);
  NodePtr root = parser.parseAll();
  if (!root) {
    if (error) *error = parser.error();
    return nullptr;
  }
  return std::unique_ptr<FilterExpression>(new FilterExpression(text, std::move(root)));
}

ExpressionValue FilterExpression::evaluate(const FieldValues& fields) const { return Evaluate(*root_, fields); }

}  // namespace framora
