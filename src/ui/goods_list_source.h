#pragma once

#include <QString>
#include <QStringList>

// The goods list that the goods-loading screen holds and the fiscal receipt screen sells
// from. The loading screen implements it and is registered as its provider; the receipt
// screen asks the host for it (ScreenHost::provider<GoodsListSource>()) and reads it each
// time it is opened.
class GoodsListSource {
public:
    virtual ~GoodsListSource() = default;

    // The loaded file's full path; empty until a file is loaded.
    virtual QString goodsFileName() const = 0;
    // The goods lines as the screen holds them now (edits included).
    virtual QStringList goodsLines() const = 0;
    // Loads a file chosen elsewhere: its name is shown and its lines replace the list.
    // False, with the reason already shown, when it cannot be read.
    virtual bool loadGoodsFile(const QString &path) = 0;
};
