#pragma once

// The coding of the folded texts of records whose fields the tree holds as
// UTF-16 (they had escapes): every UTF-16 code unit as 1 to 3 bytes in the
// shapes of UTF-8, surrogates coded one by one, ASCII letters folded to
// lower case. The coding is prefix-free and self-synchronising, so a term
// occurs in a text exactly when its coded bytes occur in the text's, lone
// surrogates included.

#include <QAnyStringView>
#include <QString>
#include <QtGlobal>

#include <string>

// How many bytes the coded text of S takes.
qsizetype FoldedCodeSize(QAnyStringView S);

// Writes the coded text of S at Out; returns one past its end.
char* WriteFoldedCode(char* Out, QAnyStringView S);

// A filter term in the coding.
std::string FoldedCode(const QString& Term);
