#pragma once
// The spreadsheet commands: the active program written as a CSV file, a new program made of
// one.

class Workspace;

void ExportSpreadsheet(Workspace& w);
void ImportSpreadsheet(Workspace& w);
