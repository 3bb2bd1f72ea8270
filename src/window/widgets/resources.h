// The style sheet and images live in a static library; whoever shows them first calls this.
#pragma once

void initWindowResources();
