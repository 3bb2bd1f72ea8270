#include "resources.h"

#include <QtGlobal>

// Outside any namespace, as Q_INIT_RESOURCE requires.
static void initResourcesOnce()
{
    Q_INIT_RESOURCE(resources);
}

void initWindowResources()
{
    initResourcesOnce();
}
