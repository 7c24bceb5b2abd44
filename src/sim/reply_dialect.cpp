#include "sim/reply_dialect.h"

#include <array>
#include <charconv>

namespace halvern::sim {

namespace {

constexpr char kReturn = '\r';

// The slow turnaround of the "zeros" dialect: long against a byte, short against a read time-out.
constexpr Clock::Duration kSlowTurnaround = std::chrono::milliseconds(30);

}  // namespace

std::string ReplyForm::number(int value, std::size_t size, bool closingReturn) const {
  std::array<char, 16> digits{};
  const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  std::string text(digits.data(), ec == std::errc{} ? end : digits.data());
  const bool withReturn = closingReturn && text.size() < size;
  const std::size_t width = withReturn ? size - 1 : size;
  if (text.size() < width) {
    const std::size_t fill = width - text.size();
    if (padding == Padding::Zeros) {
      // The sign stays in front of the zeros: "-096".
      const std::size_t at = text.starts_with('-') ? 1 : 0;
      text.insert(at, fill, '0');
    } else {
      text.insert(0, fill, ' ');
    }
  }
  // A value too long for its reply keeps its last digits, as a fixed field would.
  if (text.size() > width) text.erase(0, text.size() - width);
  if (withReturn) text += kReturn;
  return text;
}

std::string ReplyForm::triple(int a, int b, int c, char separator) {
  std::string text;
  for (int v : {a, b, c}) {
    if (!text.empty()) text += separator;
    text += static_cast<char>('0' + (v / 10) % 10);
    text += static_cast<char>('0' + v % 10);
  }
  return text + kReturn;
}

ReplyForm ReplyDialect::standard() { return ReplyForm{}; }

ReplyForm ReplyDialect::terse() {
  ReplyForm form;
  form.valueReturn = true;
  form.comReturn = false;
  form.dateSeparator = '/';
  form.timeSeparator = '/';
  form.afterBlock = "\r";
  return form;
}

ReplyForm ReplyDialect::zeros() {
  ReplyForm form;
  form.padding = ReplyForm::Padding::Zeros;
  form.dateSeparator = ':';
  form.timeSeparator = '-';
  form.afterBlock = "\r\n";
  form.turnaround = kSlowTurnaround;
  return form;
}

std::string ReplyDialect::choose(std::string_view name) {
  constexpr std::string_view kMixed = "mixed";
  if (name == "standard" || name == "terse" || name == "zeros") {
    m_form = name == "standard" ? standard() : name == "terse" ? terse() : zeros();
    m_mixed = false;
  } else if (name.starts_with(kMixed) &&
             (name.size() == kMixed.size() || name[kMixed.size()] == ':')) {
    unsigned seed = 1;
    if (name.size() > kMixed.size()) {
      const std::string_view text = name.substr(kMixed.size() + 1);
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
      if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) {
        return "the seed must be a whole number: " + std::string(text);
      }
    }
    m_random.seed(seed);
    m_mixed = true;
  } else {
    return "no such dialect: " + std::string(name) + " (one of " + std::string(kNames) + ")";
  }
  m_name = std::string(name);
  return {};
}

ReplyForm ReplyDialect::next() {
  if (!m_mixed) return m_form;
  // Each way of wording drawn on its own, so that forms no named dialect has come up too.
  const std::array<ReplyForm, 3> forms{standard(), terse(), zeros()};
  auto pick = [&]() -> const ReplyForm& { return forms[m_random() % forms.size()]; };
  ReplyForm form;
  form.padding = pick().padding;
  form.valueReturn = pick().valueReturn;
  form.comReturn = pick().comReturn;
  form.dateSeparator = pick().dateSeparator;
  form.timeSeparator = pick().timeSeparator;
  form.afterBlock = pick().afterBlock;
  form.turnaround = pick().turnaround;
  return form;
}

}  // namespace halvern::sim
