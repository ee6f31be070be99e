#include "app/LoginApp.h"

CLoginApp theApp;
