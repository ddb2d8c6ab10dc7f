// Printing the monster on show: a print dialog and one page with the monster on
// white. Application thread only; modal while it runs.
#pragma once

void printMonster();
