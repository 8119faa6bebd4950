#include "dbcontrols/TDataSource.h"

#include "desktopdb/DesktopDbError.h"
#include "desktopdb/Table.h"

#include <algorithm>

namespace dbcontrols {

TDataSource::TDataSource(QObject *owner) : QObject(owner) {}

TDataSource::~TDataSource() = default;

void TDataSource::SetDataSet(desktopdb::Table *dataSet)
{
    if (FDataSet == dataSet)
        return;
    FDataSet = dataSet;
    DataChanged();
}

bool TDataSource::Editing() const
{
    if (FDataSet == nullptr || !FDataSet->active())
        return false;
    const auto state = FDataSet->state();
    return state == desktopdb::DataSetState::Edit || state == desktopdb::DataSetState::Insert;
}

void TDataSource::Edit()
{
    if (FDataSet == nullptr || !FDataSet->active())
        throw desktopdb::DesktopDbError("Cannot modify a closed dataset");
    if (FDataSet->state() == desktopdb::DataSetState::Browse)
        FDataSet->edit();
}

void TDataSource::Post()
{
    if (!Editing())
        return;
    // A control may unlink itself while writing; walk a copy.
    const auto links = FLinks;
    for (TDataLink *link : links)
        link->UpdateRecord();
    FDataSet->post();
    DataChanged();
}

void TDataSource::Cancel()
{
    if (!Editing())
        return;
    FDataSet->cancel();
    DataChanged();
}

void TDataSource::DataChanged()
{
    const auto links = FLinks;
    for (TDataLink *link : links)
        link->DataChanged();
}

void TDataSource::AddLink(TDataLink *link)
{
    if (std::find(FLinks.begin(), FLinks.end(), link) == FLinks.end())
        FLinks.push_back(link);
}

void TDataSource::RemoveLink(TDataLink *link)
{
    FLinks.erase(std::remove(FLinks.begin(), FLinks.end(), link), FLinks.end());
}

} // namespace dbcontrols
