#pragma once

#include <QString>

// The logged-on user's name, at most 100 characters; "TOLM_USER" when it cannot be had.
QString LoggedOnUserName();
