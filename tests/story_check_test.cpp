// The story checker: each diagnostic on a tiny story, the path analyses, the
// report format and exit statuses, and the story map.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "story_check.hpp"
#include "support.hpp"
#include "text_excerpt.hpp"

namespace {

CheckedStory check_text(std::string_view content) {
    TempDir dir;
    return check_story_file(dir.write("histoire.txt", content));
}

std::string describe(const std::vector<Diagnostic>& diagnostics) {
    std::ostringstream out;
    print_diagnostics(out, "histoire.txt", diagnostics);
    return out.str();
}

// Whether a diagnostic of that severity stands on that line with `fragment`
// in its message.
testing::AssertionResult has(const CheckedStory& story, Severity severity, int line, std::string_view fragment) {
    for (const Diagnostic& d : story.diagnostics) {
        if (d.severity == severity && d.line == line && d.message.find(fragment) != std::string::npos) {
            return testing::AssertionSuccess();
        }
    }
    return testing::AssertionFailure() << "no " << (severity == Severity::error ? "error" : "warning") << " on line "
                                       << line << " with \"" << fragment << "\" in:\n"
                                       << describe(story.diagnostics);
}

// The story holds exactly this one diagnostic.
testing::AssertionResult only(const CheckedStory& story, Severity severity, int line, std::string_view fragment) {
    if (story.diagnostics.size() != 1) {
        return testing::AssertionFailure() << "expected one diagnostic, got:\n" << describe(story.diagnostics);
    }
    return has(story, severity, line, fragment);
}

constexpr auto error = Severity::error;
constexpr auto warning = Severity::warning;

// --- Errors ---------------------------------------------------------------------

TEST(CheckErrors, FileThatCannotBeOpenedConcernsNoLine) {
    TempDir dir;
    const CheckedStory story = check_story_file((dir.path() / "absente.txt").string());
    EXPECT_TRUE(only(story, error, 0, "impossible d'ouvrir le fichier"));
    EXPECT_EQ(story.section_count, 0);
}

TEST(CheckErrors, NoSectionHeader) {
    EXPECT_TRUE(only(check_text(""), error, 0, "aucun en-tête « # Section »"));
    const CheckedStory headerless = check_text("[Narration]\nIl était une fois\n[/Narration]\n[Fin]\n");
    EXPECT_TRUE(has(headerless, error, 0, "aucun en-tête"));
    // Everything before the first header is ignored alike: said once.
    EXPECT_TRUE(has(headerless, warning, 1, "contenu avant le premier en-tête"));
    EXPECT_EQ(headerless.diagnostics.size(), 2u);
}

TEST(CheckErrors, MoreThanAHundredSectionsStopsTheChecks) {
    std::string text;
    for (int i = 0; i <= max_sections; ++i) text += "# Section " + std::to_string(i) + "\n";
    // The 101st header stands on line 101; none of the sections is analysed.
    EXPECT_TRUE(only(check_text(text), error, 101, "plus de 100 sections"));
}

TEST(CheckErrors, TargetThatDoesNotParseNamesTheSkippedByteAndWhereTheChoiceLeads) {
    const CheckedStory story = check_text(
        "# Section 0\n[Choix]\nFuir ->Section : 1\nPartir -> Section : -1\nAttendre ->\tsection 1\n\n"
        "# Section 1\n[Fin]\n");
    EXPECT_TRUE(has(story, error, 3, "le jeu saute « S » puis attend « Section : N » ; ce choix mène à la section 0"));
    EXPECT_TRUE(has(story, error, 5, "le jeu saute une tabulation"));

    // An earlier block's target stays when the new line does not parse.
    const CheckedStory kept = check_text(
        "# Section 0\n[Choix]\nA -> Section : 1\n\n[Choix]\nB ->Section : 0\n\n# Section 1\n[Fin]\n");
    EXPECT_TRUE(only(kept, error, 6, "ce choix mène à la section 1"));
}

TEST(CheckErrors, MissingAndOversizedTargets) {
    const CheckedStory story = check_text(
        "# Section 0\n[Choix]\nA ->\nB -> \nC -> Section : 99999999999\nD -> Section : -1\n\n");
    EXPECT_TRUE(has(story, error, 3, "cible du choix absente"));
    EXPECT_TRUE(has(story, error, 4, "cible du choix absente"));
    EXPECT_TRUE(has(story, error, 5, "trop grand"));
}

TEST(CheckErrors, TargetOutsideTheLoadedSections) {
    const CheckedStory story = check_text(
        "# Section 0\n[Choix]\nLoin -> Section : 2\nDerrière -> Section : -2\nFin -> Section : 1\n\n"
        "# Section 1\n[Fin]\n");
    EXPECT_TRUE(has(story, error, 3, "la section 2, qui n'existe pas (0 à 1, ou -1 pour finir)"));
    EXPECT_TRUE(has(story, error, 4, "la section -2, qui n'existe pas"));
    EXPECT_EQ(exit_status(story.diagnostics), status_errors);
    EXPECT_EQ(story.diagnostics.size(), 2u) << describe(story.diagnostics);
}

// --- Warnings from the loader -------------------------------------------------------

TEST(CheckWarnings, LineSwallowedAtTheEndOfABlockNamesItsKind) {
    EXPECT_TRUE(only(check_text("# Section 0\n[Dialogue]\n- Marie : Salut\n\"clé\"\n[Fin]\n"), warning, 4,
                     "ligne perdue (une ligne d'objet)"));
    EXPECT_TRUE(only(check_text("# Section 0\n[Dialogue]\n- Marie : Salut\n[Fin]\n\n[Fin]\n"), warning, 4,
                     "ligne perdue (un marqueur)"));
    EXPECT_TRUE(only(check_text("# Section 0\n[Choix]\nA -> Section : -1\nEt voilà\n"), warning, 4,
                     "ligne perdue (du texte)"));
    // A swallowed header: the next section's blocks land in this one.
    const CheckedStory header = check_text("# Section 0\n[Choix]\nA -> Section : -1\n# Section 1\n[Fin]\n");
    EXPECT_TRUE(has(header, warning, 4, "ligne perdue (un en-tête de section)"));
    EXPECT_TRUE(has(header, warning, 4, "la suite remplace le contenu de la section 0"));
}

TEST(CheckWarnings, DialogueLineWithoutColon) {
    EXPECT_TRUE(only(check_text("# Section 0\n[Dialogue]\n- Bonjour\n- A : b\n\n[Fin]\n"), warning, 3,
                     "ligne de dialogue sans « : »"));
}

TEST(CheckWarnings, EntriesPastTheLimitOfTheirBlockOrSection) {
    std::string dialogue = "# Section 0\n[Fin]\n[Dialogue]\n";
    for (int i = 0; i < 7; ++i) dialogue += "- A : " + std::to_string(i) + "\n";
    const CheckedStory d = check_text(dialogue);
    EXPECT_TRUE(has(d, warning, 9, "ligne de dialogue au-delà de la 5e"));
    EXPECT_TRUE(has(d, warning, 10, "ligne de dialogue au-delà de la 5e"));
    EXPECT_EQ(d.diagnostics.size(), 2u);

    std::string choices = "# Section 0\n[Choix]\n";
    for (int i = 0; i < 6; ++i) choices += "O -> Section : -1\n";
    EXPECT_TRUE(only(check_text(choices), warning, 8, "choix au-delà du 5e"));

    std::string items = "# Section 0\n[Fin]\n";
    for (int i = 0; i < 11; ++i) items += "\"objet\"\n";
    EXPECT_TRUE(only(check_text(items), warning, 13, "ligne d'objet au-delà de la 10e"));
}

TEST(CheckWarnings, TextsCutAtTheirCapacity) {
    const std::string long_words = std::string(200, 'a') + "\n";
    std::string narration = "# Section 0\n[Fin]\n[Narration]\n";
    for (int i = 0; i < 5; ++i) narration += long_words;
    narration += "[/Narration]\n";
    EXPECT_TRUE(only(check_text(narration), warning, 3, "narration coupée à 999 octets"));

    EXPECT_TRUE(only(check_text("# Section 0\n[Fin]\n[Dialogue]\n- " + std::string(50, 'n') + " : x\n"), warning, 4,
                     "nom du personnage coupé à 49 octets"));
    EXPECT_TRUE(only(check_text("# Section 0\n[Fin]\n\"" + std::string(49, 'o') + "\"\n"), warning, 3,
                     "nom d'objet coupé à 48 octets"));

    // One warning for a line read in three pieces.
    const CheckedStory split = check_text("# Section 0\n[Fin]\n[Narration]\n" + std::string(600, 'x') + "\n[/Narration]\n");
    EXPECT_TRUE(only(split, warning, 4, "ligne trop longue"));
}

TEST(CheckWarnings, ByteOrderMark) {
    const CheckedStory story = check_text("\xEF\xBB\xBF# Section 0\n# Section 1\n[Fin]\n");
    EXPECT_TRUE(only(story, warning, 1, "marque d'ordre des octets"));
    EXPECT_EQ(story.section_count, 1);
}

TEST(CheckWarnings, IndentedMarkerOrItemLine) {
    const CheckedStory story = check_text("# Section 0\n  [Fin]\n[Fin]\n\t\"clé\"\n");
    EXPECT_TRUE(has(story, warning, 2, "ligne indentée ignorée : « [Fin] »"));
    EXPECT_TRUE(has(story, warning, 4, "« \"clé\" »"));
    EXPECT_EQ(story.diagnostics.size(), 2u);
}

TEST(CheckWarnings, ContentBeforeTheFirstHeader) {
    EXPECT_TRUE(only(check_text("Mon histoire\n\"clé\"\n# Section 0\n[Fin]\n"), warning, 1, "avant le premier en-tête"));
}

TEST(CheckWarnings, NarrationWithoutItsEndMarker) {
    EXPECT_TRUE(only(check_text("# Section 0\n[Fin]\n[Narration]\nIl pleut.\n# Section 1\n"), warning, 3,
                     "sans « [/Narration] »"));
}

TEST(CheckWarnings, ConsequenceMarkerAfterTheArrow) {
    EXPECT_TRUE(only(check_text("# Section 0\n[Choix]\nJeter -> Section : -1 ID_Conséquence : 2\n\n"), warning, 3,
                     "« ID_Conséquence : » après « -> »"));
}

TEST(CheckWarnings, PlayerNameWithoutTheBlank) {
    EXPECT_TRUE(only(check_text("# Section 0\n[Fin]\n[Dialogue]\n- Vous : oui\n- Vous: non\n\n"), warning, 5,
                     "« Vous: » sans espace"));
}

TEST(CheckWarnings, LinesOutsideAnyBlock) {
    // A blank line ends the choice block; the choice after it is lost.
    const CheckedStory story = check_text(
        "# Section 0\n[Choix]\nA -> Section : -1\n\nB -> Section : -1\n- Marie : Salut\nDu texte\n[/Narration]\n");
    EXPECT_TRUE(has(story, warning, 5, "ligne ignorée : une ligne de choix hors de tout bloc"));
    EXPECT_TRUE(has(story, warning, 6, "une ligne de dialogue"));
    EXPECT_TRUE(has(story, warning, 7, "du texte"));
    EXPECT_TRUE(has(story, warning, 8, "un marqueur [/Narration]"));
    EXPECT_EQ(story.diagnostics.size(), 4u);
}

// --- Structure of the story --------------------------------------------------------

TEST(CheckStructure, UnreachableSectionAtItsHeader) {
    EXPECT_TRUE(only(check_text("# Section 0\n[Fin]\n\n# Section 1\n[Fin]\n"), warning, 4,
                     "la section 1 est inaccessible"));
}

TEST(CheckStructure, SectionWithNeitherChoicesNorEnding) {
    EXPECT_TRUE(only(check_text("# Section 0\n[Narration]\nRien.\n[/Narration]\n"), warning, 1,
                     "la section 0 n'a ni choix ni [Fin]"));
}

TEST(CheckStructure, EndingWithChoicesAtItsMarker) {
    EXPECT_TRUE(only(check_text("# Section 0\n[Choix]\nA -> Section : -1\n\n[Fin]\n"), warning, 5,
                     "porte [Fin] mais a des choix"));
}

TEST(CheckStructure, SectionsTrappedInALoop) {
    // 1 and 2 lead only to each other; 0 can still leave through -1.
    const CheckedStory story = check_text(
        "# Section 0\n[Choix]\nA -> Section : 1\nB -> Section : -1\n\n"
        "# Section 1\n[Choix]\nC -> Section : 2\n\n"
        "# Section 2\n[Choix]\nD -> Section : 1\n\n");
    EXPECT_TRUE(has(story, error, 6, "aucune fin n'est accessible depuis la section 1"));
    EXPECT_TRUE(has(story, error, 10, "aucune fin n'est accessible depuis la section 2"));
    EXPECT_EQ(story.diagnostics.size(), 2u) << describe(story.diagnostics);
}

TEST(CheckStructure, DiagnosticsComeSortedByLine) {
    const CheckedStory story = check_text(
        "# Section 0\n[Choix]\nA -> Section : 5\n\n# Section 1\n[Fin]\n[Dialogue]\n- Bonjour\n\n");
    ASSERT_EQ(story.diagnostics.size(), 3u);
    EXPECT_EQ(story.diagnostics[0].line, 3);
    EXPECT_EQ(story.diagnostics[1].line, 5);
    EXPECT_EQ(story.diagnostics[2].line, 8);
}

// --- Lost items ------------------------------------------------------------------------

TEST(CheckItems, LossReachableWithoutTheItemShowsTheShortestPath) {
    // The key is found on the long way only (0 → 2 → 3); the short way
    // (0 → 1 → 3) reaches the lock without it.
    const CheckedStory story = check_text(
        "# Section 0\n[Choix]\nCourt -> Section : 1\nLong -> Section : 2\n\n"
        "# Section 1\n[Choix]\nPorte -> Section : 3\n\n"
        "# Section 2\n\"clé\"\n[Choix]\nPorte -> Section : 3\n\n"
        "# Section 3\n<clé>\n[Fin]\n");
    EXPECT_TRUE(only(story, warning, 16, "l'objet « clé » peut manquer quand cette ligne le retire (chemin 0 → 1 → 3)"));
}

TEST(CheckItems, ItemsInHandOnEveryPathAreFine) {
    EXPECT_TRUE(check_text("# Section 0\n\"clé\"\n<clé>\n\"clé\"\n[Choix]\nA -> Section : 1\n\n"
                           "# Section 1\n<clé>\n[Fin]\n")
                    .diagnostics.empty());
}

TEST(CheckItems, ItemLinesApplyOnEveryVisit) {
    // Section 1 loses the key on every visit but it is gained only once,
    // so the second visit (0 → 1 → 1) is short of it.
    const CheckedStory story = check_text(
        "# Section 0\n\"clé\"\n[Choix]\nA -> Section : 1\n\n"
        "# Section 1\n<clé>\n[Choix]\nEncore -> Section : 1\nFin -> Section : -1\n\n");
    EXPECT_TRUE(only(story, warning, 7, "(chemin 0 → 1 → 1)"));

    // Gaining in the loop keeps it fine: each visit gains before it loses.
    EXPECT_TRUE(check_text("# Section 0\n[Choix]\nA -> Section : 0\nB -> Section : -1\n\n\"pain\"\n<pain>\n")
                    .diagnostics.empty());
}

TEST(CheckItems, FullInventoryRefusesTheItemThatIsLaterLost) {
    // Fifty pebbles fill the inventory, so the key is never added.
    std::string text;
    for (int id = 0; id < 5; ++id) {
        text += "# Section " + std::to_string(id) + "\n";
        for (int i = 0; i < 10; ++i) text += "\"caillou\"\n";
        text += "[Choix]\nSuite -> Section : " + std::to_string(id + 1) + "\n\n";
    }
    text += "# Section 5\n\"clé\"\n<clé>\n[Fin]\n";
    const CheckedStory story = check_text(text);
    EXPECT_TRUE(only(story, warning, 73, "« clé » peut manquer"));
}

TEST(CheckItems, SearchStopsAtItsStateBoundAndSaysSo) {
    // Each pass through section 0 gains a pebble: the states keep coming
    // until the inventory is full.
    // The loss is unreachable, so the search runs until every state is seen.
    const auto loaded = load_text(
        "# Section 0\n\"caillou\"\n[Choix]\nA -> Section : 0\nB -> Section : -1\n\n# Section 1\n<clé>\n[Fin]\n");
    EXPECT_FALSE(find_missing_items(*loaded.sections, loaded.count, 3).complete);
    const MissingItemSearch full = find_missing_items(*loaded.sections, loaded.count);
    EXPECT_TRUE(full.complete);
    EXPECT_TRUE(full.missing.empty());

    // The search stops early once every loss has been found.
    const auto lossy = load_text("# Section 0\n\"caillou\"\n<clé>\n[Choix]\nA -> Section : 0\nB -> Section : -1\n\n");
    const MissingItemSearch found = find_missing_items(*lossy.sections, lossy.count, 1);
    EXPECT_TRUE(found.complete);
    ASSERT_EQ(found.missing.size(), 1u);
    EXPECT_EQ(found.missing[0].section, 0);
    EXPECT_EQ(found.missing[0].item_index, 1);
    EXPECT_EQ(found.missing[0].path, std::vector<int>{0});
}

TEST(CheckItems, UnreachableLossesAreLeftToTheUnreachableWarning) {
    EXPECT_TRUE(only(check_text("# Section 0\n[Fin]\n\n# Section 1\n<clé>\n[Fin]\n"), warning, 4, "inaccessible"));
}

// --- Report and exit status --------------------------------------------------------

TEST(CheckReport, CompilerStyleLinesAndFrenchSummary) {
    const std::vector<Diagnostic> diagnostics{
        {error, 0, "impossible d'ouvrir le fichier"},
        {warning, 7, "ligne ignorée"},
        {warning, 9, "autre"},
    };
    std::ostringstream out;
    print_diagnostics(out, "a.txt", diagnostics);
    EXPECT_EQ(out.str(),
              "a.txt: erreur: impossible d'ouvrir le fichier\n"
              "a.txt:7: avertissement: ligne ignorée\n"
              "a.txt:9: avertissement: autre\n"
              "a.txt: 1 erreur, 2 avertissements\n");

    std::ostringstream clean;
    print_diagnostics(clean, "b.txt", {});
    EXPECT_EQ(clean.str(), "b.txt: 0 erreur, 0 avertissement\n");
}

TEST(CheckReport, ExitStatusOfOneOrMoreFiles) {
    TempDir dir;
    const std::string clean = dir.write("propre.txt", "# Section 0\n[Fin]\n");
    const std::string warned = dir.write("averti.txt", "# Section 0\n");
    const std::string wrong = dir.write("faux.txt", "# Section 0\n[Choix]\nA -> Section : 4\n\n");
    const auto run = [](std::vector<std::string> args, std::string* out_text = nullptr) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = run_check_command(args, out, err);
        if (out_text != nullptr) *out_text = out.str();
        return status;
    };
    EXPECT_EQ(run({clean}), 0);
    EXPECT_EQ(run({warned}), 1);
    EXPECT_EQ(run({wrong}), 2);
    std::string out;
    EXPECT_EQ(run({clean, warned}, &out), 1);
    EXPECT_EQ(out, clean + ": 0 erreur, 0 avertissement\n" + warned +
                       ":1: avertissement: la section 0 n'a ni choix ni [Fin] : la partie s'y arrête sans écran de fin\n" +
                       warned + ": 0 erreur, 1 avertissement\n");
    EXPECT_EQ(run({wrong, clean, warned}), 2);
    EXPECT_EQ(run({"--", clean}), 0);
}

TEST(CheckReport, BadArgumentsGiveTheUsageAndStatusTwo) {
    const auto run = [](std::vector<std::string> args, std::string& out_text, std::string& err_text) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = run_check_command(args, out, err);
        out_text = out.str();
        err_text = err.str();
        return status;
    };
    std::string out;
    std::string err;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"--dot"}, {"--dot", "a.txt", "b.txt"}, {"--dot", "--dot", "a.txt"}, {"-v", "a.txt"}}) {
        EXPECT_EQ(run(args, out, err), 2);
        EXPECT_NE(err.find("usage : orlimar-check FICHIER..."), std::string::npos) << err;
        EXPECT_EQ(out, "");
    }
    EXPECT_EQ(run({"--help"}, out, err), 0);
    EXPECT_NE(out.find("orlimar-check --dot FICHIER"), std::string::npos);
}

// --- Story map ----------------------------------------------------------------------

TEST(StoryMap, NodesAndEdgesOfASmallStory) {
    const auto story = load_text(
        "# Section 0\n[Narration]\nLa \"porte\" grince dans la nuit noire et froide de l'hiver\n[/Narration]\n"
        "[Choix]\nEntrer -> Section : 1\nFuir -> Section : -1\nVoler -> Section : 7\n\n"
        "# Section 1\n[Narration]\nLa fin.\n[/Narration]\n[Fin]\n\n"
        "# Section 2\n[Choix]\nRetour -> Section : 0\n\n"
        "# Section 3\n");
    std::ostringstream out;
    write_story_map(out, "conte", *story.sections, story.count);
    const std::string dot = out.str();
    const auto contains = [&](std::string_view text) {
        return dot.find(text) != std::string::npos ? testing::AssertionSuccess()
                                                   : testing::AssertionFailure() << text << " not in\n" << dot;
    };
    EXPECT_TRUE(dot.starts_with("digraph histoire {\n"));
    EXPECT_TRUE(dot.ends_with("}\n"));
    EXPECT_TRUE(contains("graph [label=\"conte\""));
    // Nodes: number and first words, ending and dead end marked, unreachable greyed.
    EXPECT_TRUE(contains("\"s0\" [label=\"0\\nLa \\\"porte\\\" grince dans la nuit…\", shape=box"));
    EXPECT_TRUE(contains("\"s1\" [label=\"1\\nLa fin.\\n[Fin]\", shape=box, peripheries=2, style=\"filled\", fillcolor=palegreen"));
    EXPECT_TRUE(contains("\"s2\" [label=\"2\\n(inaccessible)\", shape=box, style=\"filled,dashed\", fillcolor=lightgrey"));
    EXPECT_TRUE(contains("\"s3\" [label=\"3\\n(impasse) (inaccessible)\", shape=octagon"));
    // Edges: one per choice, -1 into the end node, a missing section in red.
    EXPECT_TRUE(contains("\"s0\" -> \"s1\" [label=\"Entrer\"];\n"));
    EXPECT_TRUE(contains("\"s0\" -> \"fin\" [label=\"Fuir\"];\n"));
    EXPECT_TRUE(contains("\"s0\" -> \"absente 7\" [label=\"Voler\", color=red"));
    EXPECT_TRUE(contains("\"s2\" -> \"s0\" [label=\"Retour\", color=grey50"));
    EXPECT_TRUE(contains("\"fin\" [label=\"Fin\", shape=doublecircle];\n"));
    EXPECT_TRUE(contains("\"absente 7\" [label=\"section 7\\n(absente)\""));
    EXPECT_EQ(std::count(dot.begin(), dot.end(), '\n'), 4 + 4 + 4 + 2 + 1);  // header, nodes, edges, extra nodes, end
}

TEST(StoryMap, CommandWritesTheMapAndSendsDiagnosticsAside) {
    TempDir dir;
    const std::string file = dir.write("carte.txt", "# Section 0\n[Choix]\nA -> Section : 1\n\n# Section 1\n");
    std::ostringstream out;
    std::ostringstream err;
    const std::vector<std::string> args{"--dot", file};
    EXPECT_EQ(run_check_command(args, out, err), 0);
    EXPECT_TRUE(out.str().starts_with("digraph histoire {"));
    EXPECT_NE(out.str().find("\"s0\" -> \"s1\""), std::string::npos);
    EXPECT_NE(err.str().find(":5: avertissement: la section 1 n'a ni choix ni [Fin]"), std::string::npos) << err.str();

    std::ostringstream none;
    const std::vector<std::string> missing{"--dot", (dir.path() / "absente.txt").string()};
    EXPECT_EQ(run_check_command(missing, none, err), 2);
    EXPECT_EQ(none.str(), "");
}

// --- Text excerpts ---------------------------------------------------------------

TEST(TextExcerpt, CutsAtWholeWordsAndWholeCharacters) {
    EXPECT_EQ(excerpt("court", 10), "court");
    EXPECT_EQ(excerpt("  des   blancs\t repliés ", 40), "des blancs repliés");
    EXPECT_EQ(excerpt("une phrase bien trop longue", 12), "une phrase…");
    EXPECT_EQ(excerpt("éééééééééé", 4), "ééé…");
    EXPECT_EQ(valid_utf8("a\xC3(b\xFF"), "a\xEF\xBF\xBD(b\xEF\xBF\xBD");
    EXPECT_EQ(valid_utf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // a surrogate
}

}  // namespace
