// Character positions as the program's files count them.
#pragma once

class QTextDocument;

namespace velmira {

// The program's files (the remembered selection, the highlighting scan) count a line break as the two
// characters CR LF, while QTextDocument counts a paragraph break as one. These convert between the two.

// The CR LF position of document position `position`.
int toCrLfPosition(const QTextDocument &document, int position);

// The document position of CR LF position `position`, clamped to the document. A position that falls
// between the CR and the LF of a break maps to the end of the paragraph before it.
int fromCrLfPosition(const QTextDocument &document, int position);

// The length of the document's text when line breaks count as two characters.
int crLfLength(const QTextDocument &document);

} // namespace velmira
