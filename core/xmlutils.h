#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QString>

// A stored value is a child element whose text is the value; element names are compared exactly.
// The read functions never raise: every problem gives the default.

void XmlCheckNode(const QDomNode &Node);
void XmlCheckNodeFound(const QDomNode &Node, const QString &Name = {});
QDomElement XmlFindChild(const QDomNode &Node, const QString &Name);
QDomElement XmlFindDocChild(const QDomDocument &Document, const QString &Name);
QString XmlReadAttribute(const QDomNode &Node, const QString &Name);
int XmlReadInt(const QDomNode &Node, const QString &Name, int Default);
QString XmlReadString(const QDomNode &Node, const QString &Name, const QString &Default);
// True only for the text "1"; Booleans are written as "1" and "0".
bool XmlReadBool(const QDomNode &Node, const QString &Name, bool Default);
void XmlWriteValue(QDomNode Node, const QString &Name, const QString &Text);

// A new document that saves with the declaration version 1.0, encoding UTF-8.
QDomDocument XmlNewDocument();
// Raises an Exception with a ready-to-show message when the file cannot be read or parsed.
QDomDocument XmlLoadDocument(const QString &FileName);
// Indented, through a temporary file renamed over the old one: a failed write leaves the old
// file as it was. Raises an Exception when the file cannot be written.
void XmlSaveDocument(const QDomDocument &Document, const QString &FileName);
