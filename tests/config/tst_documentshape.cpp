#include "documentshape.h"

#include <QtTest>

using DocumentShape::Fault;
Q_DECLARE_METATYPE(DocumentShape::Fault)

// Each bound holds a document exactly at it and refuses one past it, read as
// bytes and as decoded text alike.
class TestDocumentShape : public QObject
{
    Q_OBJECT
private slots:
    void bounds_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<Fault>("fault");
        const auto nested = [](int depth) {
            return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
        };
        const auto attributes = [](int count) {
            QByteArray tag = "<a";
            for (int i = 0; i < count; ++i)
                tag += " a" + QByteArray::number(i) + "='>'";
            return tag + "/>";
        };
        // The root and then pairs of an empty element and a text: two nodes each.
        const auto nodes = [](int pairs) {
            return "<r>" + QByteArray("<e/>t").repeated(pairs) + "</r>";
        };
        QTest::newRow("nested at the bound") << nested(DocumentShape::MaxDepth) << Fault::None;
        QTest::newRow("nested past it") << nested(DocumentShape::MaxDepth + 1) << Fault::Nesting;
        QTest::newRow("closed elements do not add up")
            << QByteArray("<a></a>").repeated(DocumentShape::MaxDepth + 1) << Fault::None;
        QTest::newRow("attributes at the bound, '>' quoted")
            << attributes(DocumentShape::MaxAttributes) << Fault::None;
        QTest::newRow("attributes past it")
            << attributes(DocumentShape::MaxAttributes + 1) << Fault::Attributes;
        QTest::newRow("nodes at the bound")
            << nodes((DocumentShape::MaxNodes - 2) / 2) + "t" << Fault::None;
        QTest::newRow("a text after markup is a node")
            << nodes((DocumentShape::MaxNodes - 2) / 2) + "<e/>t" << Fault::Nodes;
        QTest::newRow("comments and declarations hide markup")
            << "<!DOCTYPE r [<!ENTITY x '<a><a>'>]><r><!-- <a><a><a> --><![CDATA[<a>]]></r>" +
                   nested(DocumentShape::MaxDepth - 1)
            << Fault::None;
    }

    void bounds()
    {
        QFETCH(QByteArray, document);
        QFETCH(Fault, fault);
        QCOMPARE(DocumentShape::scan(QByteArrayView(document)), fault);
        const QString text = QString::fromLatin1(document);
        QCOMPARE(DocumentShape::scan(QStringView(text)), fault);
    }
};

QTEST_APPLESS_MAIN(TestDocumentShape)
#include "tst_documentshape.moc"
