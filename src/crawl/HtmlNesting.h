#pragma once
// A page made fit for the HTML parser, whose work per token grows with the depth of the open
// elements: the page is cut where its nesting passes a depth, and long runs of text get an
// empty comment now and then, so that the parser asks for memory (where its bounds are
// checked) however long the text between two tags.

#include <QByteArray>
#include <QByteArrayView>

struct NestedHtml {
    QByteArray text;
    qsizetype cutAt = -1;  // the byte of the page where it was cut for its depth, or -1
};

// Elements whose end tag may be left out (<p>, <li>, <td> …) and empty ones (<img>, <br> …)
// do not count towards the depth: the parser closes them by itself. After <plaintext> there
// is nothing but text, which is left.
NestedHtml BoundNesting(QByteArrayView html, int maxDepth);
