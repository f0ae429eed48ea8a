#include "app/folders.h"

char app_folder[kFolderSize];
char res_folder[kFolderSize];
