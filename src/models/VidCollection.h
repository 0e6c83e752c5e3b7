#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The vids collected for a batch search (at most VidRule::kMaxVids, each once, in the order
// they came), and the tally of one round of offering vids to it: typed text, pasted text or
// imported files. The tally decides which tip the user sees.
class VidCollection
{
public:
    enum class Offer
    {
        Added,
        Exists,
        Full,
        Invalid,
    };

    // One round of offers: added = newly listed, invalid = tokens that are not vids,
    // same = valid vids that were not listed (already there, or no room), before = how many
    // were listed when the round began.
    struct Tally
    {
        int added = 0;
        int invalid = 0;
        int same = 0;
        int before = 0;
    };

    // The tip a tally ends in.
    enum class Report
    {
        SomeAndErrors,  // "%1 added, %2 invalid"
        Some,           // "%1 added"
        Same,           // "%1 same"
        None,
        MoreThanMax,
    };
    static Report ReportOf(const Tally& tally);

    Offer Add(const QString& vid);
    bool Remove(const QString& vid);
    bool Contains(const QString& vid) const { return set.contains(vid); }
    int Count() const { return vids.size(); }
    bool IsFull() const;
    const QStringList& Vids() const { return vids; }
    void Clear();

    Tally BeginTally() const;
    // Offers one token to the collection and counts its outcome.
    void OfferToken(const QString& token, Tally* tally);
    // Offers every vid of a piece of text cut by the separator rule.
    void OfferText(const QString& text, Tally* tally);
    // Offers the vids of one line of an imported file: a line that is a vid is offered whole,
    // any other is cut by the separator rule.
    void OfferLine(const QString& line, Tally* tally);
    // Reads a csv or text file line by line; false (and nothing offered) when it cannot be
    // opened.
    bool OfferFile(const QString& path, Tally* tally, QString* error = nullptr);

private:
    QStringList vids;
    QSet<QString> set;
};
