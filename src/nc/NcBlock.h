#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace tornyx::nc {

// One address word of a block: the letter and its value as written.
struct Word {
    char letter = 0;
    bool macro = false;   // "#100", "[#1+2]": the value is the control's to compute
    bool point = false;   // written with a decimal point
    bool missing = false; // a letter with no value after it
    double value = 0;
    // The value as written ("300.", "-5", "#100"), at most 15 characters.
    char text[16] = {};
    unsigned char textLength = 0;

    QByteArrayView valueText() const { return QByteArrayView(text, textLength); }
    // G and M codes compare in tenths: G54.1 is 541, G01 is 10.
    int code() const { return value > 1e8 || value < -1e8 ? -1 : int(value * 10 + (value < 0 ? -0.5 : 0.5)); }
};

// How the send filter treats the characters a block is read from.
struct BlockRules {
    bool sendAfterComment = false; // ";" and "'" do not end the sent text
};

// A block as the control reads it: the words outside "(" ... ")" comments,
// up to a ";" or "'" that ends the sent text.
struct Block {
    std::vector<Word> words;         // reused from block to block
    bool blockDelete = false;        // "/" ahead of the words: the switch on the machine decides
    bool macroStatement = false;     // "#1=...", IF, WHILE, GOTO, ...: not a plain block
    bool unreadable = false;         // characters that belong to no word
    bool textAfterSemicolon = false; // sent (option) but not read

    void clear();
    bool isEmpty() const { return words.empty() && !macroStatement && !unreadable; }
};

// Reads the words of the text into the block; with append the words add to
// those already there (the pending words a DNC run sends after a line).
void parseBlock(QByteArrayView text, const BlockRules& rules, Block& block, bool append = false);

// True when the line holds no word outside comments: a comment line, a
// blank line, "%" alone.
bool hasNoWords(QByteArrayView line, const BlockRules& rules);

// The sequence number of a line: "N" + digits as its first word outside
// comments; -1 when there is none.
long long sequenceNumber(QByteArrayView line);

// Where text occurs in the line outside comments and before a ";" or "'"
// that ends the sent text; -1 when it does not.
qsizetype findOutsideComments(QByteArrayView line, QByteArrayView text, const BlockRules& rules);

} // namespace tornyx::nc
