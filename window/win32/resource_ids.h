#pragma once

// Shared by the resource script and the code that loads from it.
#define LINKSIFT_ICON_ID 1
