#pragma once

// Everything that defines what is started and from where.

// The installed system's registry entry that names its Java runtime.
constexpr wchar_t InstalledSystemKey[] = L"Software\\Velmora\\TarnixCadastro2018_Prod\\Modulo1";
constexpr wchar_t InstalledSystemValueName[] = L"Executavel";

// The private runtime's folder, below the current directory.
constexpr char RuntimeFolderSuffix[] = "\\Java";

// The installed Java 1.8 runtime's registry entry.
constexpr wchar_t InstalledRuntimeKey[] = L"Software\\JavaSoft\\Java Runtime Environment\\1.8";
constexpr wchar_t InstalledRuntimeValueName[] = L"JavaHome";

// The quoted directory is followed by the archive name outside the quotes.
constexpr char RuntimeCommandFormat[] = "\"%s\\bin\\Javaw.exe\" -Xmx768m";
constexpr char ArchiveCommandFormat[] = "%s -jar \"%s\"\\tarnix2018.jar";

constexpr char ExecutableQuotingFormat[] = "\"%s\"";
constexpr char FixedCommandFormat[] =
    "%s -Xmx768m -jar \"D:\\aplic\\mivo2016\\dovrenta\\Producao\\Tarnix-Cadastro\\tarnix2018.jar\"";
constexpr char FixedWorkingDirectory[] = "D:\\aplic\\mivo2016\\dovrenta\\Producao\\Tarnix-Cadastro";
