#pragma once
// The type filter: which file names the browser shows for the file types chosen on the first
// page. The type pattern ("|"-joined alternatives such as ".png|.jpg|.bmp") is an ECMAScript
// regular expression matched against the name's tail, not searched in it, without regard to case:
// cameras write "IMG_0001.JPG". An empty pattern (no type chosen) lets every name pass.
// Names and patterns are matched as characters (code points), so "." in a pattern stands for
// one character of any script.

#include <regex>
#include <string>

class TypeFilter {
public:
    /// Compiles pattern once. A pattern that does not compile lets no name pass; an empty one lets
    /// every name pass.
    explicit TypeFilter(const std::string& pattern);

    bool valid() const { return valid_; }

    /// A name whose last "." leaves a two-character extension (".rm", ".au") passes when the whole
    /// pattern matches its last three characters exactly; any other name of four or more
    /// characters when it matches the last four ("ajpg" matches ".jpg", whose "." is any
    /// character); shorter names never pass. An error raised while matching counts as not passing.
    bool passes(const std::string& name) const;

private:
    std::wregex expression_;
    bool valid_ = false;
    bool everyName_ = false;
};

/// UTF-8 text as one wide character per code point; each byte of a malformed sequence becomes one
/// character of its own (U+DC80 + byte), so every name has a definite length.
std::wstring utf8ToWide(const std::string& text);
