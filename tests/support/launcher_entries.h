#pragma once

#include <string>

// The registry entries and the fixed folder the launcher reads, written out
// again here so that a changed constant in the launcher shows as a failure.
const std::wstring RuntimeKey = L"Software\\JavaSoft\\Java Runtime Environment\\1.8";
const std::wstring SystemKey = L"Software\\Velmora\\TarnixCadastro2018_Prod\\Modulo1";
const std::wstring FixedDirectory = L"D:\\aplic\\mivo2016\\dovrenta\\Producao\\Tarnix-Cadastro";

// Removes both entries from both registry views.
void RemoveLauncherEntries();
