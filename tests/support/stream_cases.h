#pragma once

// Whole streams and the output made from them: the scanner's test tables,
// and the fuzzer's seeds. Plain C++, no test framework.
#include <string>
#include <string_view>
#include <vector>

#include "unit_search.h"

namespace linksift::testing_support {

struct StreamCase {
  std::string name;
  std::string input;
  std::string output;
};

// Text without a mark: read as bytes.
inline const std::vector<StreamCase> kStreamCases = {
    {"Empty", "", ""},
    {"NoLink", "plain\r\ntext\r\n", ""},
    {"CrLf", "a http://a b\r\nnone\r\nhttp://c, d\r\n", "http://a\r\nhttp://c\r\n"},
    {"LoneLf", "x http://a\nhttp://b.\n", "http://a\r\nhttp://b\r\n"},
    {"LoneCr", "http://a\rhttp://b\r", "http://a\r\nhttp://b\r\n"},
    {"LfCr", "http://a\n\rhttp://b\n\r", "http://a\r\nhttp://b\r\n"},
    {"NoFinalLineEnd", "one\r\ntail http://z", "http://z\r\n"},
    {"EmptyLinesGiveNothing", "\r\n\r\n\n\r\rhttp://a\r\n\r\n", "http://a\r\n"},
    {"MarkBeforeLineEnd",
     "http://a;\r\nhttp://b.\nhttp://c:", "http://a\r\nhttp://b\r\nhttp://c\r\n"},
    {"OnlyFirstLinkOfALine", "http://a http://b\r\nhttp://c", "http://a\r\nhttp://c\r\n"},
    {"SecondLinkAfterBlankSkipped", "http://a x\r\nhttp://b", "http://a\r\nhttp://b\r\n"},
    {"PrefixSplitByLineEnd", "http:\r\n//a http\n://b", ""},
    {"PrefixAfterFalseStarts", "ttp:// http:/ http//x HtTp://ok", "HtTp://ok\r\n"},
    {"NestedPrefix", "hhttp://http://x\r\n", "http://http://x\r\n"},
    {"PrefixOnly", "http://\r\nhttp://.", "http://\r\nhttp://\r\n"},
    {"RawBytes", std::string("\x80 http://\x00\xff\xc3\xa9 \x01\r\n", 15),
     std::string("http://\x00\xff\xc3\xa9\r\n", 13)},
    {"TabsAndQuotesStayInLink", "\"http://a\tb\" x", "http://a\tb\"\r\n"},
    // Long enough to cross the vector kernels' strides.
    {"LongLines",
     std::string(70, 'x') + " http://" + std::string(70, 'a') + " " + std::string(70, 'y') +
         "\r\n" + std::string(33, 'z') + "http://b",
     "http://" + std::string(70, 'a') + "\r\nhttp://b\r\n"},
    // Line ends past a vector's width from where a search starts, so that the
    // vector loops, not only their scalar tails, meet CR, LF CR and CR LF.
    {"CrEndsLongLinksAndLines",
     "http://" + std::string(70, 'a') + "\rhttp://b " + std::string(70, 'x') + "\rhttp://c\r",
     "http://" + std::string(70, 'a') + "\r\nhttp://b\r\nhttp://c\r\n"},
    {"LfCrEndsLongLinksAndLines",
     "http://" + std::string(70, 'a') + ".\n\rhttp://b " + std::string(70, 'x') +
         "\n\rhttp://c\n\r",
     "http://" + std::string(70, 'a') + "\r\nhttp://b\r\nhttp://c\r\n"},
    {"CrLfEndsLongLinksAndLines",
     "http://" + std::string(70, 'a') + ";\r\nhttp://b " + std::string(70, 'x') + "\r\n" +
         std::string(70, 'y') + "\r\nhttp://c",
     "http://" + std::string(70, 'a') + "\r\nhttp://b\r\nhttp://c\r\n"},
    // Only FF FE and FE FF, first, make a stream UTF-16.
    {"Utf8MarkStaysBytes", "\xEF\xBB\xBFhttp://a\xC3\xA9\r\n", "http://a\xC3\xA9\r\n"},
    {"Utf16WithoutMarkIsBytes", std::string("h\0t\0t\0p\0:\0/\0/\0a\0\r\0\n\0", 20), ""},
    {"FirstByteOfAMarkAlone", "\xFF", ""},
    {"FirstByteOfAMarkThenText", "\xFFhttp://a\xFE", "http://a\xFE\r\n"},
    {"MarkBytesLater", "x\xFF\xFEhttp://a", "http://a\r\n"},
};

struct Utf16Case {
  std::string name;
  std::u16string text;  // without the mark
  std::string output;   // UTF-8
};

inline std::string Utf16Stream(std::u16string_view text, ByteOrder order) {
  std::string bytes = order == ByteOrder::kLittleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    bytes += order == ByteOrder::kLittleEndian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

// Text after a mark, in either byte order.
inline const std::vector<Utf16Case> kUtf16Cases = {
    {"MarkAlone", u"", ""},
    {"CrLf", u"a http://a b\r\nnone\r\nhttp://c, d\r\n", "http://a\r\nhttp://c\r\n"},
    {"LoneLf", u"x http://a\nhttp://b.\n", "http://a\r\nhttp://b\r\n"},
    {"LoneCr", u"http://a\rhttp://b\r", "http://a\r\nhttp://b\r\n"},
    {"RuleAsForBytes", u"hhttp://http://x\r\nHtTp:/ ttp:// HTTP://ok; http://no\r\nhttp:\n//a",
     "http://http://x\r\nHTTP://ok\r\n"},
    {"Cyrillic", u"Ссылка: http://пример.рф/путь, дальше\r\n", "http://пример.рф/путь\r\n"},
    {"Cjk", u"見る http://例え.jp/頁。 次\r\nhttp://中文.cn",
     "http://例え.jp/頁。\r\nhttp://中文.cn\r\n"},
    {"SurrogatePair", u"x http://a/\U0001F600. y", "http://a/\U0001F600\r\n"},
    {"UnpairedSurrogates",
     u"http://\xDC00"
     u"a\xD83D\xD83D\xDE00 x\r\nhttp://b\xD83D.",
     "http://\uFFFDa\uFFFD\U0001F600\r\nhttp://b\uFFFD\r\n"},
    {"HighSurrogateBeforeLineEnd", u"http://a\xD800\r\nhttp://b\xD800",
     "http://a\uFFFD\r\nhttp://b\uFFFD\r\n"},
    // Only whole units count: these hold the bytes of blanks, line ends and
    // the prefix, and letters that fold onto the scheme's in one byte only.
    {"BytesOfOtherUnits",
     u"http://a\u0D0A\u0A0D\u2020\u200D\u0A20 b\r\n\u0148ttp://no \u0168TTP://no",
     "http://a\u0D0A\u0A0D\u2020\u200D\u0A20\r\n"},
    // Letters one of whose bytes is a mark's: only a whole unit is a mark.
    {"UnitsHoldingAMarksByte", u"http://a/Ю\r\nhttp://b/Ĭ x\r\nhttp://c/\u2E2E",
     "http://a/Ю\r\nhttp://b/Ĭ\r\nhttp://c/\u2E2E\r\n"},
    {"PrefixOffByOneByte", u"\u6820\u7400\u7400\u7000\u3A00\u2F00\u2F00\u7800", ""},
    {"LongLines",
     std::u16string(70, u'я') + u" http://" + std::u16string(70, u'a') + u"\u4E2D " +
         std::u16string(70, u'y') + u"\r\n" + std::u16string(33, u'z') + u"http://b",
     "http://" + std::string(70, 'a') + "\u4E2D\r\nhttp://b\r\n"},
};

// UTF-16 byte streams that no text gives.
inline const std::vector<StreamCase> kUtf16ByteCases = {
    {"OddLastByteLittleEndian",
     std::string("\xFF\xFE"
                 "h\0t\0t\0p\0:\0/\0/\0a\0"
                 "A",
                 19),
     "http://a\uFFFD\r\n"},
    {"OddLastByteBigEndian",
     std::string("\xFE\xFF"
                 "\0h\0t\0t\0p\0:\0/\0/\0a"
                 "A",
                 19),
     "http://a\uFFFD\r\n"},
    {"OddLastByteAfterLine",
     std::string("\xFF\xFE"
                 "h\0t\0t\0p\0:\0/\0/\0a\0\n\0"
                 "A",
                 21),
     "http://a\r\n"},
    {"OddByteAfterMark", "\xFE\xFF\x01", ""},
};

}  // namespace linksift::testing_support
