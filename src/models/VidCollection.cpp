#include "models/VidCollection.h"

#include <QFile>
#include <QTextStream>

#include "models/VidRule.h"

VidCollection::Report VidCollection::ReportOf(const Tally& tally)
{
    if (tally.before + tally.same > VidRule::kMaxVids) {
        return tally.invalid == 0 ? Report::MoreThanMax : Report::SomeAndErrors;
    }
    if (tally.invalid >= 1 && tally.added >= 1) {
        return Report::SomeAndErrors;
    }
    if (tally.added >= 1) {
        return Report::Some;
    }
    if (tally.same >= 1) {
        return Report::Same;
    }
    return Report::None;
}

VidCollection::Offer VidCollection::Add(const QString& vid)
{
    if (!VidRule::IsValid(vid)) {
        return Offer::Invalid;
    }
    if (set.contains(vid)) {
        return Offer::Exists;
    }
    if (IsFull()) {
        return Offer::Full;
    }
    vids.append(vid);
    set.insert(vid);
    return Offer::Added;
}

bool VidCollection::Remove(const QString& vid)
{
    if (!set.remove(vid)) {
        return false;
    }
    vids.removeOne(vid);
    return true;
}

bool VidCollection::IsFull() const
{
    return vids.size() >= VidRule::kMaxVids;
}

void VidCollection::Clear()
{
    vids.clear();
    set.clear();
}

VidCollection::Tally VidCollection::BeginTally() const
{
    Tally tally;
    tally.before = vids.size();
    return tally;
}

void VidCollection::OfferToken(const QString& token, Tally* tally)
{
    switch (Add(token)) {
        case Offer::Added:
            ++tally->added;
            break;
        case Offer::Exists:
        case Offer::Full:
            ++tally->same;
            break;
        case Offer::Invalid:
            ++tally->invalid;
            break;
    }
}

void VidCollection::OfferText(const QString& text, Tally* tally)
{
    for (const QString& token : VidRule::Split(text)) {
        OfferToken(token, tally);
    }
}

void VidCollection::OfferLine(const QString& line, Tally* tally)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty()) {
        return;
    }
    if (VidRule::IsValid(trimmed)) {
        OfferToken(trimmed, tally);
    } else {
        OfferText(trimmed, tally);
    }
}

bool VidCollection::OfferFile(const QString& path, Tally* tally, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    QString line;
    while (stream.readLineInto(&line)) {
        OfferLine(line, tally);
    }
    return true;
}
