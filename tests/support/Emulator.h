#pragma once

// Whether the tests run under Wine, which runs Windows programs on Linux with
// a few gaps of its own; a check that meets one of them is expected to fail
// there, and says why (QEXPECT_FAIL), instead of passing or failing.
bool runsUnderWine();
