#include "ui/coord/ShowSignals.h"

#include "coord/CurrentShow.h"

ShowSignals& ShowSignals::Instance()
{
    static ShowSignals instance;
    return instance;
}

void MarkShowModified()
{
    coordination::TheShow().modified = true;
    emit ShowSignals::Instance().Changed();
}
