#pragma once

// The tool's own version; the same value as the version resource of the executable.
#define LUMORAN_VERSION_MAJOR 1
#define LUMORAN_VERSION_MINOR 2
#define LUMORAN_VERSION_PATCH 0
#define LUMORAN_VERSION_TEXT "1.2.0"

#define LUMORAN_ORGANISATION_NAME "Vandrel"
#define LUMORAN_ORGANISATION_DOMAIN "vandrel.example"
#define LUMORAN_APPLICATION_NAME "Vandrel Lumoran Tool"
