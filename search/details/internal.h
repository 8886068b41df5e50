#pragma once

// The headers in search/details/ are the library's inside. Programs use the public headers
// beside this folder; the library itself, its tests, benchmarks and fuzz targets get this
// definition from the nasfinder::search_internal target.
#ifndef NASFINDER_SEARCH_INTERNAL
#error "search/details/ is internal to the search library: include the public headers instead"
#endif
