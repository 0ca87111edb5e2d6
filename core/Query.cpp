#include "core/Query.h"

#include <algorithm>
#include <array>
#include <limits>

#include "core/Edition.h"
#include "core/TextMatch.h"
#include "core/Utf8.h"

namespace lmp {

namespace {

// What a term reads and how it compares.
enum class Kind : std::uint8_t {
    Word,    // the name, the ride type or the park's name holds it
    Name,    // a glob over the name
    Type,    // the name's extension
    Edition, // a choice of three
    Ride,    // a text held, or equal with '='
    Park,
    Size,   // numbers: the file's size in bytes
    Column, // a Game Details column as whole numbers, in the unit it shows
    Rating, // a column in tenths, whose decimal mark may be a comma
    Count,  // a pane line that has no column
};

enum class Op : std::uint8_t { Holds, Equals, Less, LessOrEqual, Greater, GreaterOrEqual };

struct FieldName {
    std::string_view name;
    Kind kind;
    DetailColumn column = DetailColumn::Edition; // Column and Rating
    ParkCount count = ParkCount::Rides;          // Count
};

// In the order the messages list them.
constexpr std::array<FieldName, 16> kFields = {{
    {"name", Kind::Name},
    {"type", Kind::Type},
    {"size", Kind::Size},
    {"edition", Kind::Edition},
    {"ride", Kind::Ride},
    {"park", Kind::Park},
    {"excitement", Kind::Rating, DetailColumn::Excitement},
    {"intensity", Kind::Rating, DetailColumn::Intensity},
    {"nausea", Kind::Rating, DetailColumn::Nausea},
    {"length", Kind::Column, DetailColumn::Length},
    {"rating", Kind::Column, DetailColumn::Rating},
    {"guests", Kind::Column, DetailColumn::Guests},
    {"cash", Kind::Column, DetailColumn::Cash},
    {"rides", Kind::Count, DetailColumn::Edition, ParkCount::Rides},
    {"stalls", Kind::Count, DetailColumn::Edition, ParkCount::Stalls},
    {"staff", Kind::Count, DetailColumn::Edition, ParkCount::Staff},
}};

bool IsNumber(Kind kind)
{
    return kind == Kind::Size || kind == Kind::Column || kind == Kind::Rating || kind == Kind::Count;
}

struct EditionName {
    std::string_view name;
    std::int32_t edition;
};
constexpr std::array<EditionName, 7> kEditionNames = {{
    {"0", 0},
    {"original", 0},
    {"1", 1},
    {"vjem", 1},
    {"vj/em", 1},
    {"2", 2},
    {"qq", 2},
}};

constexpr std::uint64_t kFractionUnit = 1'000'000'000'000'000'000u; // fractions are kept in 10^-18
constexpr int kFractionDigits = 18;

// An exact decimal of any size the query can hold: whole and fraction (in 10^-18) of the magnitude,
// `more` when digits beyond the 18th make it larger than that, `infinite` when the whole part does not
// fit 64 bits. Every field's value is a whole number or tenths, so these compare exactly with it.
struct Amount {
    bool negative = false;
    bool infinite = false;
    std::uint64_t whole = 0;
    std::uint64_t fraction = 0;
    bool more = false;
};

Amount WholeAmount(std::int64_t value)
{
    Amount amount;
    amount.negative = value < 0;
    amount.whole =
        value < 0 ? static_cast<std::uint64_t>(-(value + 1)) + 1 : static_cast<std::uint64_t>(value);
    return amount;
}

Amount TenthsAmount(std::int64_t tenths)
{
    Amount amount = WholeAmount(tenths / 10);
    const std::int64_t rest = tenths % 10;
    amount.negative = tenths < 0;
    amount.fraction = static_cast<std::uint64_t>(rest < 0 ? -rest : rest) * (kFractionUnit / 10);
    return amount;
}

int CompareMagnitude(const Amount& a, const Amount& b)
{
    if (a.infinite || b.infinite)
        return static_cast<int>(a.infinite) - static_cast<int>(b.infinite);
    if (a.whole != b.whole)
        return a.whole < b.whole ? -1 : 1;
    if (a.fraction != b.fraction)
        return a.fraction < b.fraction ? -1 : 1;
    return static_cast<int>(a.more) - static_cast<int>(b.more);
}

bool IsZero(const Amount& a)
{
    return !a.infinite && a.whole == 0 && a.fraction == 0 && !a.more;
}

int Compare(const Amount& a, const Amount& b)
{
    const bool negativeA = a.negative && !IsZero(a);
    const bool negativeB = b.negative && !IsZero(b);
    if (negativeA != negativeB)
        return negativeA ? -1 : 1;
    const int magnitude = CompareMagnitude(a, b);
    return negativeA ? -magnitude : magnitude;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsOperatorCharacter(char c)
{
    return c == ':' || c == '<' || c == '>' || c == '=' || c == '!';
}

// Whether an operator starts at text[i]: a '!' only before '=', so that a word may end in one.
bool StartsOperator(std::string_view text, std::size_t i)
{
    return i < text.size() && IsOperatorCharacter(text[i]) &&
           (text[i] != '!' || (i + 1 < text.size() && text[i + 1] == '='));
}

// A part of the query as a message quotes it: at most 40 bytes, fit to show anywhere.
std::string Quote(std::string_view text)
{
    constexpr std::size_t kLongest = 40;
    if (text.size() <= kLongest)
        return "'" + SafeText(text) + "'";
    std::size_t cut = kLongest - 3;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return "'" + SafeText(text.substr(0, cut)) + "...'";
}

// Edits between two short names, a swap of two neighbours counting as one.
std::size_t Distance(std::string_view a, std::string_view b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// The field a mistyped name most likely meant: the nearest within two edits (one for short names), else
// the only field whose name it begins; empty when none.
std::string_view Suggestion(std::string_view unknown)
{
    if (unknown.size() > 20)
        return {};
    const std::string folded = Folded(unknown);
    std::string_view best;
    std::size_t bestDistance = std::numeric_limits<std::size_t>::max();
    for (const FieldName& field : kFields) {
        const std::size_t distance = Distance(folded, field.name);
        if (distance <= (field.name.size() <= 4 ? 1u : 2u) && distance < bestDistance) {
            best = field.name;
            bestDistance = distance;
        }
    }
    if (!best.empty() || folded.size() < 3)
        return best;
    for (const FieldName& field : kFields) {
        if (field.name.starts_with(folded)) {
            if (!best.empty())
                return {};
            best = field.name;
        }
    }
    return best;
}

std::string UnknownFieldMessage(std::string_view name)
{
    const std::string_view suggestion = Suggestion(name);
    if (!suggestion.empty())
        return "unknown field " + Quote(name) + " (did you mean '" + std::string(suggestion) + "'?)";
    std::string message = "unknown field " + Quote(name) + "; the fields are";
    for (const FieldName& field : kFields)
        message += (field.kind == Kind::Name ? " " : ", ") + std::string(field.name);
    return message;
}

// The number's text in the unit a field shows: `rating` fields take a comma as their decimal mark,
// the others a comma between groups of three digits; cash may start with '$' and length end with "ft".
// None when the text is not a number.
std::optional<Amount> ReadAmount(std::string_view text, const FieldName& field)
{
    const bool decimalComma = field.kind == Kind::Rating;
    const bool cash = field.kind == Kind::Column && field.column == DetailColumn::Cash;
    if (field.kind == Kind::Column && field.column == DetailColumn::Length && text.size() >= 2 &&
        Folded(text.substr(text.size() - 2)) == "ft")
        text.remove_suffix(2);
    const bool dollar = cash && text.starts_with('$');
    if (dollar)
        text.remove_prefix(1);
    Amount amount;
    if (text.starts_with('-') || text.starts_with('+')) {
        amount.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (!dollar && cash && text.starts_with('$'))
        text.remove_prefix(1);

    std::size_t i = 0;
    std::size_t wholeDigits = 0;
    std::size_t groupDigits = 0;
    bool grouped = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            const auto digit = static_cast<std::uint64_t>(c - '0');
            if (amount.whole > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
                amount.infinite = true;
            else
                amount.whole = amount.whole * 10 + digit;
            ++wholeDigits;
            if (++groupDigits > 3 && grouped)
                return std::nullopt;
        } else if (c == ',' && !decimalComma) {
            if (groupDigits == 0 || groupDigits > 3 || (grouped && groupDigits != 3))
                return std::nullopt;
            grouped = true;
            groupDigits = 0;
        } else {
            break;
        }
    }
    if (grouped && groupDigits != 3)
        return std::nullopt;
    std::size_t fractionDigits = 0;
    if (i < text.size()) {
        if (text[i] != '.' && !(decimalComma && text[i] == ','))
            return std::nullopt;
        std::uint64_t place = kFractionUnit;
        for (++i; i < text.size(); ++i, ++fractionDigits) {
            if (!IsDigit(text[i]))
                return std::nullopt;
            const auto digit = static_cast<std::uint64_t>(text[i] - '0');
            if (fractionDigits < kFractionDigits) {
                place /= 10;
                amount.fraction += digit * place;
            } else if (digit != 0) {
                amount.more = true;
            }
        }
        if (fractionDigits == 0)
            return std::nullopt;
    }
    if (wholeDigits == 0 && fractionDigits == 0)
        return std::nullopt;
    return amount;
}

// The value a number field shows for a file: none when the file has no such cell or line.
std::optional<Amount> ValueOf(const FieldName& field, std::uint64_t size, const GameDetails* details)
{
    if (field.kind == Kind::Size) {
        Amount amount;
        amount.whole = size;
        return amount;
    }
    if (details == nullptr)
        return std::nullopt;
    const std::optional<std::int64_t> value =
        field.kind == Kind::Count ? details->Count(field.count) : details->Number(field.column);
    if (!value)
        return std::nullopt;
    if (field.kind == Kind::Rating)
        return TenthsAmount(*value);
    // The Cash column shows whole units of the tenths, truncated toward zero.
    return WholeAmount(field.column == DetailColumn::Cash ? *value / 10 : *value);
}

bool Compares(Op op, int order)
{
    switch (op) {
    case Op::Less:
        return order < 0;
    case Op::LessOrEqual:
        return order <= 0;
    case Op::Greater:
        return order > 0;
    case Op::GreaterOrEqual:
        return order >= 0;
    case Op::Holds:
    case Op::Equals:
        break;
    }
    return order == 0;
}

std::optional<Op> OperatorOf(std::string_view text)
{
    if (text == ":")
        return Op::Holds;
    if (text == "=")
        return Op::Equals;
    if (text == "<")
        return Op::Less;
    if (text == "<=")
        return Op::LessOrEqual;
    if (text == ">")
        return Op::Greater;
    if (text == ">=")
        return Op::GreaterOrEqual;
    return std::nullopt;
}

} // namespace

struct Query::Term {
    FieldName field{"", Kind::Word};
    Op op = Op::Holds;
    std::string text; // folded: the word, the pattern, the extension with its dot, the text held
    Amount amount;
    std::int32_t edition = kNoEdition;
};

namespace {

// Reads the query's terms one after another, each in time linear in its length.
class QueryReader {
public:
    explicit QueryReader(std::string_view text) : text_(text) {}

    // The next term, none at the end of the query.
    std::optional<Query::Term> Next()
    {
        while (pos_ < text_.size() && IsBlank(text_[pos_]))
            ++pos_;
        if (pos_ == text_.size())
            return std::nullopt;
        start_ = pos_;
        if (text_[pos_] == '"') {
            const std::string_view phrase = QuotedValue(pos_);
            if (phrase.empty())
                Fail("empty phrase in " + Term());
            return WordTerm(phrase);
        }
        std::size_t end = pos_;
        while (end < text_.size() && IsLetter(text_[end]))
            ++end;
        if (!StartsOperator(text_, end)) {
            while (end < text_.size() && !IsBlank(text_[end]))
                ++end;
            pos_ = end;
            return WordTerm(text_.substr(start_, end - start_));
        }
        const std::string_view name = text_.substr(start_, end - start_);
        std::size_t opEnd = end;
        while (opEnd < text_.size() && IsOperatorCharacter(text_[opEnd]))
            ++opEnd;
        const std::string_view opText = text_.substr(end, opEnd - end);
        const std::string_view value = Value(opEnd);
        if (name.empty())
            Fail("no field before " + Quote(opText) + " in " + Term());
        return FieldTerm(name, opText, value);
    }

private:
    static Query::Term WordTerm(std::string_view word)
    {
        Query::Term term;
        term.text = Folded(word);
        return term;
    }

    [[noreturn]] void Fail(const std::string& message) const
    {
        throw QueryError(message, start_, pos_ - start_);
    }

    std::string Term() const { return Quote(text_.substr(start_, pos_ - start_)); }

    // The text between the quote at `open` and the next one, leaving pos_ after the closing quote, which
    // must end the term.
    std::string_view QuotedValue(std::size_t open)
    {
        const std::size_t close = text_.find('"', open + 1);
        if (close == std::string_view::npos) {
            pos_ = text_.size();
            Fail("unclosed quote in " + Term());
        }
        pos_ = close + 1;
        if (pos_ < text_.size() && !IsBlank(text_[pos_])) {
            while (pos_ < text_.size() && !IsBlank(text_[pos_]))
                ++pos_;
            Fail("nothing may follow the closing quote in " + Term());
        }
        return text_.substr(open + 1, close - open - 1);
    }

    // A field's value from `at`: a quoted one or up to the next blank.
    std::string_view Value(std::size_t at)
    {
        if (at < text_.size() && text_[at] == '"')
            return QuotedValue(at);
        pos_ = at;
        while (pos_ < text_.size() && !IsBlank(text_[pos_]))
            ++pos_;
        return text_.substr(at, pos_ - at);
    }

    Query::Term FieldTerm(std::string_view name, std::string_view opText, std::string_view value) const
    {
        const std::string foldedName = Folded(name);
        const auto known = std::find_if(kFields.begin(), kFields.end(),
                                        [&](const FieldName& field) { return field.name == foldedName; });
        if (known == kFields.end())
            Fail(UnknownFieldMessage(name));
        const std::optional<Op> op = OperatorOf(opText);
        if (!op)
            Fail("unknown operator " + Quote(opText) + " in " + Term());
        const bool number = IsNumber(known->kind);
        if (!number && *op != Op::Holds && *op != Op::Equals)
            Fail(std::string(known->name) + " takes ':' or '=', not '" + std::string(opText) + "', in " +
                 Term());
        if (value.empty())
            Fail(Term() + " needs " + (number ? "a number" : "a value") + " after '" + std::string(opText) +
                 "'");

        Query::Term term;
        term.field = *known;
        term.op = *op;
        if (number) {
            const std::optional<Amount> amount = ReadAmount(value, *known);
            if (!amount) {
                const bool groups = known->kind != Kind::Rating && value.find(',') != std::string_view::npos;
                Fail(Quote(value) + " is not a number in " + Term() +
                     (groups ? " (a comma groups thousands here, as in 1,000)" : ""));
            }
            term.amount = *amount;
        } else if (known->kind == Kind::Edition) {
            const std::string folded = Folded(value);
            const auto edition = std::find_if(kEditionNames.begin(), kEditionNames.end(),
                                              [&](const EditionName& e) { return e.name == folded; });
            if (edition == kEditionNames.end())
                Fail("unknown edition " + Quote(value) + " in " + Term() +
                     " (0 or original, 1 or VJEM, 2 or QQ)");
            term.edition = edition->edition;
        } else if (known->kind == Kind::Type) {
            term.text = value.starts_with('.') ? Folded(value) : "." + Folded(value);
            if (term.text == ".")
                Fail(Term() + " needs a value after the dot");
        } else {
            term.text = Folded(value);
        }
        return term;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t start_ = 0; // of the term being read
};

bool ReadsDetails(Kind kind)
{
    return kind != Kind::Name && kind != Kind::Type && kind != Kind::Size;
}

// The term's answer for a file; none when it reads the details and they are not known yet. Details
// that are known but absent are those of a file that was not described.
std::optional<bool> Holds(const Query::Term& term, std::string_view name, std::uint64_t size,
                          const GameDetails* details, bool known)
{
    const Kind kind = term.field.kind;
    if (kind == Kind::Name)
        return GlobMatches(term.text, name);
    if (kind == Kind::Type)
        return EqualsFolded(ExtensionOf(name), term.text);
    if (kind == Kind::Word && HoldsFolded(name, term.text))
        return true;
    if (!known && ReadsDetails(kind))
        return std::nullopt;
    if (IsNumber(kind)) {
        const std::optional<Amount> value = ValueOf(term.field, size, details);
        return value && Compares(term.op, Compare(*value, term.amount));
    }
    if (details == nullptr)
        return false;
    switch (kind) {
    case Kind::Word:
        return HoldsFolded(details->RideType(), term.text) || HoldsFolded(details->ParkName(), term.text);
    case Kind::Edition:
        return details->Number(DetailColumn::Edition) == term.edition;
    default: {
        const std::string_view text = kind == Kind::Ride ? details->RideType() : details->ParkName();
        return !text.empty() &&
               (term.op == Op::Equals ? EqualsFolded(text, term.text) : HoldsFolded(text, term.text));
    }
    }
}

} // namespace

Query::Query() = default;
Query::Query(const Query& other) = default;
Query::Query(Query&& other) noexcept = default;
Query& Query::operator=(const Query& other) = default;
Query& Query::operator=(Query&& other) noexcept = default;
Query::~Query() = default;

Query::Query(std::string_view text)
{
    QueryReader reader(text);
    while (std::optional<Term> term = reader.Next())
        terms_.push_back(std::move(*term));
}

bool Query::Matches(const QueryFile& file) const
{
    return std::all_of(terms_.begin(), terms_.end(), [&](const Term& term) {
        return Holds(term, file.name, file.size, file.details, true).value_or(false);
    });
}

bool Query::NeedsDetails() const noexcept
{
    return std::any_of(terms_.begin(), terms_.end(),
                       [](const Term& term) { return ReadsDetails(term.field.kind); });
}

bool Query::NeedsSize() const noexcept
{
    return std::any_of(terms_.begin(), terms_.end(),
                       [](const Term& term) { return term.field.kind == Kind::Size; });
}

std::optional<bool> Query::MatchesWithoutDetails(std::string_view name, std::uint64_t size) const
{
    // A file of no game type is never described, so its details are known: there are none.
    const bool known = FileTypeOfName(name) == FileType::None;
    bool decided = true;
    for (const Term& term : terms_) {
        const std::optional<bool> holds = Holds(term, name, size, nullptr, known);
        if (holds == false)
            return false;
        decided = decided && holds.has_value();
    }
    return decided ? std::optional<bool>(true) : std::nullopt;
}

} // namespace lmp
