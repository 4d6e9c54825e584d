#pragma once

#include <QByteArrayView>
#include <QStringView>

// A first look at a configuration document before any XML parser sees it:
// how deep its elements nest, how many nodes it makes and how many
// attributes one element carries. Qt's XML readers compare every attribute
// of an element with all the others and build a node object per element,
// attribute, text and comment, so a file of a few megabytes can take minutes
// or gigabytes; these bounds keep an import well under a second and a few
// tens of megabytes. The scan only counts markup, it does not check the
// document: the parser still judges whether it is well-formed.
namespace DocumentShape
{
constexpr int MaxDepth = 16;      // a show nests two deep
constexpr int MaxNodes = 50000;   // a show with a long playlist makes a few thousand
constexpr int MaxAttributes = 64; // a show's element carries at most nine

enum class Fault { None, Nesting, Nodes, Attributes };

// For documents in an encoding where markup is ASCII (UTF-8, Latin-1).
Fault scan(QByteArrayView text);
// For documents decoded first (UTF-16 and UTF-32).
Fault scan(QStringView text);
} // namespace DocumentShape
