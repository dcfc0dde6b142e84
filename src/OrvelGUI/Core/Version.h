#pragma once

// The program's version text as it appears in window titles and folder names.
constexpr const char* kOrvelVersionText = "V1.00";
constexpr const char* kOrvelApplicationName = "Orvel Loader";
constexpr const char* kOrvelOrganisationName = "Tessmark";
