#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace tornyx {

// A file mask as the file dialogs of the shop's desktop know it: "*" any run
// of characters, "?" one character, "[...]" one of a set with ranges ("a-f")
// and "!" in front for all but the set. Letters match without regard to case.
class FileMask {
public:
    // nullopt when the mask is not valid (a "[" without its "]").
    static std::optional<FileMask> parse(const QString& mask);

    bool matches(QStringView name) const;

private:
    struct Token {
        enum Kind { Literal, AnyOne, AnyRun, Set } kind = Literal;
        QChar c;
        bool negated = false;
        std::vector<std::pair<QChar, QChar>> ranges;
        bool accepts(QChar x) const;
    };
    std::vector<Token> m_tokens;
};

} // namespace tornyx
