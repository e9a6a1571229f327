#pragma once

// Everything that defines what is started and from where.

// The installed system's registry entry that names its Java runtime.
constexpr wchar_t InstalledSystemKey[] = L"Software\\Velmora\\TarnixCadastro2018_Prod\\Modulo1";
constexpr wchar_t InstalledSystemValueName[] = L"Executavel";

// The private runtime's folder, below the current directory.
constexpr char RuntimeFolderSuffix[] = "\\Java";

// Where the installed Java 1.8 is looked for, and the runtime program below
// a runtime's folder, are in registry/installed_runtime.h, which the
// package's install reads too. The runtime: its folder, then the program.
constexpr char RuntimeCommandFormat[] = "\"%s%s\" -Xmx768m";
// The quoted directory is followed by the archive name outside the quotes.
constexpr char ArchiveCommandFormat[] = "%s -jar \"%s\"\\tarnix2018.jar";

constexpr char ExecutableQuotingFormat[] = "\"%s\"";
constexpr char FixedCommandFormat[] =
    "%s -Xmx768m -jar \"D:\\aplic\\mivo2016\\dovrenta\\Producao\\Tarnix-Cadastro\\tarnix2018.jar\"";
constexpr char FixedWorkingDirectory[] = "D:\\aplic\\mivo2016\\dovrenta\\Producao\\Tarnix-Cadastro";
