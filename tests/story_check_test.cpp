// The story checker: every diagnostic on a tiny story, the item search, the
// report, the command line, and the loader's listener.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "check_command.hpp"
#include "lookalikes.hpp"
#include "near_miss.hpp"
#include "story_check.hpp"
#include "support.hpp"
#include "text_excerpt.hpp"

namespace {

constexpr auto error = Severity::error;
constexpr auto warning = Severity::warning;
constexpr auto remark = Severity::remark;

struct Expected { Severity severity; int line; std::string_view fragment; };  // fragment: part of the message

// The story's diagnostics are exactly these, in this order.
testing::AssertionResult diagnoses(std::string_view text, const std::vector<Expected>& expected,
                                   const CheckBounds& bounds = {}) {
    std::istringstream in{std::string(text), std::ios::binary};
    const CheckedStory story = check_story(in, "histoire.txt", bounds);
    bool same = story.diagnostics.size() == expected.size();
    for (std::size_t i = 0; same && i < expected.size(); ++i) {
        const Diagnostic& d = story.diagnostics[i];
        same = d.severity == expected[i].severity && d.line == expected[i].line &&
               d.message.find(expected[i].fragment) != std::string::npos;
    }
    // Remarks are left out of the exit status.
    const auto any = [&](Severity severity) {
        return std::any_of(expected.begin(), expected.end(), [&](const Expected& e) { return e.severity == severity; });
    };
    same = same && exit_status(story.diagnostics) == (any(error) ? 2 : any(warning) ? 1 : 0);
    std::ostringstream got;
    print_diagnostics(got, "histoire.txt", story.diagnostics);
    return same ? testing::AssertionSuccess() : testing::AssertionFailure() << text << "\ngot:\n" << got.str();
}

TEST(CheckDiagnostics, EachProblemOnItsLine) {
    const std::string too_many = repeat("# Section\n", 101);  // the 101st header stands on line 101
    std::string full_inventory;  // fifty pebbles, so the key is never added
    for (int id = 0; id < 5; ++id) {
        full_inventory += "# Section " + std::to_string(id) + "\n" + repeat("\"caillou\"\n", 10) +
                          "[Choix]\nSuite -> Section : " + std::to_string(id + 1) + "\n\n";
    }
    const std::string fin = "# Section 0\n[Fin]\n";
    const struct { std::string_view name; std::string text; std::vector<Expected> expected; } cases[]{
        // Errors: no header (what comes before the first one is ignored, and said
        // once), too many sections, choice targets the game cannot follow.
        {"no_header_and_content_before_it", "[Narration]\nIl était une fois\n[/Narration]\n[Fin]\n",
         {{error, 0, "aucun en-tête « # Section »"}, {warning, 1, "contenu avant le premier en-tête"}}},
        {"too_many_sections", too_many, {{error, 101, "plus de 100 sections"}}},
        {"unreadable_targets_name_the_skipped_byte", "# Section 0\n[Choix]\nFuir ->Section : 1\nPartir -> Section : -1\nAttendre ->\tsection 1\n\n# Section 1\n[Fin]\n",
         {{error, 3, "le jeu saute « S » puis attend « Section : N » ; ce choix mène à la section 0"},
          {error, 5, "le jeu saute une tabulation"}, {warning, 7, "la section 1 est inaccessible"}}},
        // An earlier block's target stays when the new line does not parse.
        {"earlier_target_kept", "# Section 0\n[Choix]\nA -> Section : 1\n\n[Choix]\nB ->Section : 0\n\n# Section 1\n[Fin]\n",
         {{warning, 5, "un autre bloc « [Choix] » dans la section 0"}, {error, 6, "ce choix mène à la section 1"}}},
        // Every choice falls back to section 0, so it cannot end.
        {"missing_and_huge_targets", "# Section 0\n[Choix]\nA ->\nB -> \nC -> Section : 99999999999\nD ->\xC3\xA9 Section : -1\nE ->",
         {{error, 1, "aucune fin n'est accessible depuis la section 0"}, {error, 3, "cible du choix absente"},
          {error, 4, "cible du choix absente"}, {error, 5, "trop grand"}, {error, 6, "le jeu saute l'octet 0xC3"},
          {error, 7, "cible du choix absente"}}},
        {"targets_past_the_story", "# Section 0\n[Choix]\nLoin -> Section : 2\nDerrière -> Section : -2\nFin -> Section : 1\n\n# Section 1\n[Fin]\n",
         {{error, 3, "la section 2, qui n'existe pas (0 à 1, ou -1 pour finir)"},
          {error, 4, "la section -2, qui n'existe pas"}}},
        // Warnings from the loader. A swallowed header opens no section; a
        // blank-only line ends its block quietly and what follows is stray.
        {"swallowed_lines_and_stray_lines", "# Section 0\n[Dialogue]\n- A : a\n\"clé\"\n[Choix]\nX -> Section : -1\n# Section 1\n"
         "[Dialogue]\n- A : a\n   \nY -> Section : 0\n- B : b\nTexte libre\n[/Narration]\n",
         {{warning, 4, "ligne perdue (une ligne d'objet)"},
          {warning, 7, "ligne perdue (un en-tête de section) : elle termine le bloc de dialogue ou de choix qui la "
                       "précède sans être lue, si bien qu'aucune section ne s'ouvre ici et que la suite remplace "
                       "le contenu de la section 0"},
          {warning, 8, "un autre bloc « [Dialogue] » dans la section 0 : le jeu ne garde que le dernier, et les "
                       "répliques du bloc de la ligne 2 ne s'affichent jamais"},
          {warning, 11, "ligne ignorée : une ligne de choix hors de tout bloc"}, {warning, 12, "une ligne de dialogue"},
          {warning, 13, "du texte"}, {warning, 14, "un marqueur [/Narration]"}}},
        {"marker_swallowed_by_dialogue", "# Section 0\n[Dialogue]\n- Marie : Salut\n[Fin]\n\n[Fin]\n", {{warning, 4, "ligne perdue (un marqueur)"}}},
        {"text_swallowed_by_choices", "# Section 0\n[Choix]\nA -> Section : -1\nEt voilà\n", {{warning, 4, "ligne perdue (du texte)"}}},
        {"dialogue_without_colon", "# Section 0\n[Dialogue]\n- Bonjour\n- A : b\n\n[Fin]\n", {{warning, 3, "ligne de dialogue sans « : »"}}},
        // Four entries do not fill a block: the line after the one that ends it is stray, not one too many.
        {"four_dialogues_then_a_stray_one", fin + "[Dialogue]\n" + repeat("- A : b\n", 4) + "Texte\n- B : c\n",
         {{warning, 8, "ligne perdue (du texte)"},
          {warning, 9, "ligne ignorée : une ligne de dialogue hors de tout bloc : le bloc s'est arrêté ligne 8"}}},
        {"dialogues_past_five", fin + "[Dialogue]\n" + repeat("- A : b\n", 7),
         {{warning, 9, "ligne de dialogue au-delà de la 5e"}, {warning, 10, "ligne de dialogue au-delà de la 5e"}}},
        // After the blank line the block is over: a stray choice, not one too many.
        {"choices_past_five", "# Section 0\n[Choix]\n" + repeat("O -> Section : -1\n", 7) + "\nP -> Section : -1\n",
         {{warning, 8, "choix au-delà du 5e"}, {warning, 9, "choix au-delà du 5e"},
          {warning, 11, "ligne ignorée : une ligne de choix"}}},
        {"items_past_ten", fin + repeat("\"objet\"\n", 11), {{warning, 13, "ligne d'objet au-delà de la 10e"}}},
        // Past twenty of a kind, the rest are counted.
        {"many_stray_lines", fin + repeat("perdue\n", 23),
         [] {
             std::vector<Expected> told;
             for (int line = 3; line < 23; ++line) told.push_back({warning, line, "ligne ignorée : du texte"});
             told.push_back({warning, 23, "et 3 autres lignes du même genre, de la ligne 23 à la ligne 25"});
             return told;
         }()},
        {"narration_cut", fin + "[Narration]\n" + repeat(std::string(200, 'a') + "\n", 5) + "[/Narration]\n",
         {{warning, 3, "narration coupée à 999 octets"}}},
        {"speaker_name_cut", fin + "[Dialogue]\n- " + std::string(50, 'n') + " : x\n",
         {{warning, 4, "nom du personnage coupé à 49 octets"}, {warning, 4, "s'affiche en vert"}}},
        {"item_name_cut", fin + "\"" + std::string(49, 'o') + "\"\n", {{warning, 3, "nom d'objet coupé à 48 octets"}}},
        // Lines are physical: one warning for a line read in three pieces, and
        // neither CR LF nor a line end read on its own shifts what follows.
        {"long_line_with_crlf", "# Section 0\r\n[Narration]\r\n" + std::string(600, 'x') +
             "\r\n[/Narration]\r\n[Choix]\r\nA -> Section : -1\r\n\r\n[Fin]\r\n",
         {{warning, 3, "ligne trop longue"}, {warning, 8, "porte [Fin] mais a des choix"}}},
        {"line_of_exactly_255_bytes", "# Section 0\n[Narration]\n" + std::string(255, 'y') + "\n[/Narration]\n[Choix]\nA -> Section : -1\n\n[Fin]\n",
         {{warning, 3, "ligne trop longue"}, {warning, 8, "porte [Fin] mais a des choix"}}},
        {"byte_order_mark", "\xEF\xBB\xBF# Section 0\n\n\"clé\"\n[Fin]\n# Section 1\n",
         {{warning, 1, "marque d'ordre des octets"}, {warning, 3, "contenu avant le premier en-tête"},
          {warning, 5, "en-tête numéroté 1"}, {warning, 5, "la section 0 n'a ni choix ni [Fin]"}}},
        {"indented_markers", "# Section 0\n  [Fin]\n[Fin]\n\t\"clé\"\n",
         {{warning, 2, "ligne indentée ignorée : « [Fin] »"}, {warning, 4, "« \"clé\" »"}}},
        {"markers_read_as_narration", fin + "[Narration]\nIl pleut.\n# Section 1\n", {{warning, 5, "ouvert ligne 3 n'est pas fermé"}}},
        {"consequence_after_arrow", "# Section 0\n[Choix]\nJeter -> Section : -1 ID_Conséquence : 2\n\n",
         {{warning, 3, "« ID_Conséquence : » après « -> »"}}},
        {"vous_without_blank", fin + "[Dialogue]\n- Vous : oui\n- Vous: non\n\n", {{warning, 5, "« Vous: » sans espace"}}},
        // Structure. A loss in an unreachable section is left to the unreachable warning.
        {"loss_in_unreachable_section", fin + "\n# Section 1\n<clé>\n[Fin]\n", {{warning, 4, "la section 1 est inaccessible"}}},
        // 1 and 2 lead only to each other; 0 can still leave through -1.
        {"loops_without_an_end", "# Section 0\n[Choix]\nA -> Section : 1\nB -> Section : -1\n\n# Section 1\n[Choix]\nC -> Section : 2\n\n"
         "# Section 2\n[Choix]\nD -> Section : 1\n\n",
         {{error, 6, "aucune fin n'est accessible depuis la section 1"},
          {error, 10, "aucune fin n'est accessible depuis la section 2"}}},
        // Lost items. The key is found on the long way only (0 → 2 → 3).
        {"item_missing_on_short_path", "# Section 0\n[Choix]\nCourt -> Section : 1\nLong -> Section : 2\n\n# Section 1\n[Choix]\nPorte -> Section : 3\n"
         "\n# Section 2\n\"clé\"\n[Choix]\nPorte -> Section : 3\n\n# Section 3\n<clé>\n[Fin]\n",
         {{warning, 16, "l'objet « clé » peut manquer quand cette ligne le retire (chemin 0 → 1 → 3)"}}},
        {"item_held_on_every_path", "# Section 0\n\"clé\"\n<clé>\n\"clé\"\n[Choix]\nA -> Section : 1\n\n# Section 1\n<clé>\n[Fin]\n", {}},
        // Item lines apply on every visit: gained once, lost again on the second visit.
        {"item_lost_again_on_revisit", "# Section 0\n\"clé\"\n[Choix]\nA -> Section : 1\n\n# Section 1\n<clé>\n[Choix]\nEncore -> Section : 1\n"
         "Fin -> Section : -1\n\n",
         {{warning, 7, "(chemin 0 → 1 → 1)"}}},
        {"loop_with_an_exit", "# Section 0\n[Choix]\nA -> Section : 0\nB -> Section : -1\n\n\"pain\"\n<pain>\n", {}},
        {"full_inventory", full_inventory + "# Section 5\n\"clé\"\n<clé>\n[Fin]\n", {{warning, 73, "« clé » peut manquer"}}},
        // Resumed games start with nothing: a remark once per item, at its first
        // line that a resume reaches without it, unless a new game can too.
        {"resumed_games_lack_items", "# Section 0\n\"clé\"\n\"pain\"\n[Choix]\nA -> Section : 1\n\n# Section 1\n[Choix]\nB -> Section : 2\n\n"
         "# Section 2\n<clé>\n<pain>\n<clé>\n[Fin]\n",
         {{remark, 12, "une partie reprise depuis une sauvegarde faite dans la section 1 arrive ici sans l'objet "
                       "« clé » (chemin 1 → 2)"},
          {remark, 13, "« pain »"}, {warning, 14, "« clé » peut manquer"}}},
        {"lost_item_spelt_otherwise", "# Section 0\n[Choix]\nA -> Section : 1\n\n# Section 1\n\"corde\"\n<Corde>\n[Fin]\n",
         {{warning, 7, "« Corde » n'est donné nulle part sous ce nom : cette ligne le retire, mais aucune ligne ne le "
                       "fait gagner ; le joueur lirait « REMOVE_ITEM: Objet 'Corde' introuvable dans l'inventaire. » ; "
                       "vouliez-vous dire « corde », gagné ligne 6 ?"}}},
        // Numbers written in headers are only read by the author.
        {"header_numbers", "# Section 0\n[Choix]\nA -> Section : 1\n\n# Section 2\n[Choix]\nB -> Section : 2\n\n# Section\n[Fin]\n",
         {{warning, 5, "en-tête numéroté 2 alors que c'est la section 1 : le jeu numérote les sections dans l'ordre du "
                       "fichier à partir de 0, sans lire ce numéro ; un choix « -> Section : 2 » mène à la section 2, "
                       "dont l'en-tête est « # Section » (ligne 9)"}}},
        // A narration left open swallows markers: one warning at the first. A
        // quoted line in it is speech.
        {"narration_swallows_headers", "# Section 0\n[Narration]\nIl dit :\n\"Entrez.\"\n[Choix]\n# Section 1\n# Section 2\n[/Narration]\n[Fin]\n",
         {{warning, 5, "le bloc [Narration] ouvert ligne 2 n'est pas fermé avant cette ligne, qui entre dans sa narration "
                       "avec la suite jusqu'au prochain « [/Narration] », dont les en-têtes « # Section 1 » (ligne 6) et "
                       "« # Section 2 » (ligne 7) : ces 2 sections ne s'ouvrent pas"}}},
        // Near misses say what the format wants instead of "ligne ignorée".
        {"near_miss_markers_and_items", fin + "[fin]\n[Dialogues]\n‹clé>\n« clé »\nclé>\n<corde\n\"pain\" \n# section 1\nChoix\n",
         {{warning, 3, "marqueur mal écrit, ligne ignorée : « [fin] » (le jeu compare les marqueurs à l'octet près, "
                       "majuscules et accents compris) ; écrivez « [Fin] »"},
          {warning, 4, "écrivez « [Dialogue] »"}, {warning, 5, "typographiques) ; écrivez « <clé> »"},
          {warning, 6, "typographiques) ; écrivez « \"clé\" »"}, {warning, 7, "(il manque un chevron) ; écrivez « <clé> »"},
          {warning, 8, "écrivez « <corde> »"}, {warning, 9, "pas même une espace) ; écrivez « \"pain\" »"},
          {warning, 10, "en-tête de section mal écrit, ligne ignorée : « # section 1 »"},
          {warning, 11, "(il manque un crochet) ; écrivez « [Choix] »"}}},
        // Names that sort after "Vous" are green like the player's, once per name.
        {"green_speakers", fin + "[Dialogue]\n- Vous : oui\n- Élise : non\n- marie : si\n- Élise : non\n\n",
         {{warning, 5, "le nom « Élise » s'affiche en vert, comme celui du joueur"},
          {warning, 6, "écrit « Marie », il s'afficherait en rouge"}}},
        // A dialogue or choice line past 255 bytes is cut in two by the reader.
        {"long_dialogue_and_choice_lines", fin + "[Dialogue]\n- A : " + std::string(300, 'a') + "\n\n[Choix]\n" + std::string(300, 'c') + " -> Section : -1\n",
         {{warning, 4, "réplique trop longue"}, {warning, 7, "choix trop long"}}},
    };
    for (const auto& c : cases) EXPECT_TRUE(diagnoses(c.text, c.expected)) << c.name;
}

// What the game plays as the author meant must check clean.
TEST(CheckDiagnostics, CorrectConstructsCheckClean) {
    const std::string end = "\n# Section 1\n[Fin]\n";
    const struct { std::string_view name; std::string text; } cases[]{
        {"crlf_lines", "# Section 0\r\n[Narration]\r\nIl pleut.\r\n[/Narration]\r\n[Fin]\r\n"},
        {"title_after_header", "# Section 0 : Le départ\n[Fin]\n"},
        {"headers_without_numbers", "# Section\n[Choix]\nA -> Section : 1\n\n# Section\n[Fin]\n"},
        {"colon_against_section", "# Section 0\n[Choix]\nA -> Section: 1\n" + end},
        {"blanks_after_markers", "# Section 0\n[Narration]  \nx\n[/Narration]\t\n[Dialogue] \n- A : b\n\n[Fin] \n"},
        {"quotes_and_brackets_in_narration",
         "# Section 0\n[Narration]\nIl dit :\n\"Entrez.\"\n<sic>\n[Note] du traducteur\n[Narrateur]\n— Bonjour.\n[/Narration]\n[Fin]\n"},
        {"text_after_the_ending_marker", "# Section 0\n[Fin] Vous avez gagné.\n"},
        {"no_break_spaces_before_colons",
         "# Section 0\n[Dialogue]\n- Vous\xC2\xA0: a\n- Vous\xE2\x80\xAF: b\n- Marie\xC2\xA0: c\n- Vous-même : d\n\n[Fin]\n"},
        {"typography_inside_texts",
         "# Section 0\n[Dialogue]\n- Marie : L’eau est froide — très froide.\n\n[Choix]\nAller à l’est -> Section : 1\n" + end},
        {"prose_opening_with_a_bracket", "# Section 0\n[Fin]\n[Choisir] une porte\n[Note]\n"},
    };
    for (const auto& c : cases) {
        // Prose outside any block is ignored, and said so, but never as a marker.
        const bool prose = c.name == "prose_opening_with_a_bracket";
        EXPECT_TRUE(diagnoses(c.text, prose ? std::vector<Expected>{{warning, 3, "ligne ignorée : du texte"},
                                                                     {warning, 4, "ligne ignorée : du texte"}}
                                            : std::vector<Expected>{}))
            << c.name;
    }
}

// Which marker an ignored line was meant to be, if any: case, accents, a
// bracket or slash missing or extra, and for words of five letters or more
// edits (one, two from eight letters), never ordinary prose.
TEST(CheckNearMisses, MarkersWithinReachAndProseLeftAlone) {
    const struct { std::string_view line; std::string_view wanted; } cases[]{
        {"[FIN]", "[Fin]"},                 {"[Choix", "[Choix]"},
        {"[/narration]", "[/Narration]"},   {"[\\Narration]", "[/Narration]"},
        {"[[Narration]", "[Narration]"},    {"[Narattion]", "[Narration]"},   // two edits
        {"[Dialoque]", "[Dialogue]"},       {"[Dailogue]", "[Dialogue]"},     // substitution, transposition
        {"[Choi]", "[Choix]"},              {"[Choixx]", "[Choix]"},          // deletion, insertion
        {"[\xC3\x89l\xC3\xA8ve]", ""},        {"[Chiox] et", "[Choix]"},
        {"[Fni]", ""},                      {"[Note] du traducteur", ""},
        {"[Choisir] une porte", ""},        {"[Narrateur]", ""},
        {"[Fin\xC2\xA0]", "[Fin]"},          {"#\xC2\xA0Section 2", "# Section 2"},
    };
    for (const auto& c : cases) {
        const std::optional<NearMiss> miss = near_miss(c.line);
        EXPECT_EQ(miss ? miss->wanted : "", c.wanted) << c.line;
    }
    // What each sign stands for, and the header written in full.
    EXPECT_EQ(near_miss_cause(*near_miss("« clé »")), "il faut des guillemets droits \", pas des guillemets typographiques");
    EXPECT_EQ(near_miss_cause(*near_miss("‹clé›")), "il faut les signes < et > du clavier, pas des guillemets typographiques");
    EXPECT_EQ(describe_near_miss(3, "#section12", *near_miss("#section12")).fix, "# Section 12");
}

TEST(CheckLookalikes, NamedReplacedAndAccentsComposed) {
    EXPECT_EQ(plain_signs("A \xE2\x86\x92 Section\xC2\xA0: \xE2\x88\x92" "1 l\xE2\x80\x99or"), "A -> Section : -1 l'or");
    EXPECT_EQ(describe_lookalike(*lookalike_at("\xE2\x80\x94", 0)), "« — » (tiret cadratin) au lieu de « - »");
    EXPECT_EQ(compose_accents("Cle\xCC\x81 \xC3\xA9pe\xCC\x81" "e c\xCC\xA7" "a Y\xCC\x88"), "Clé épée ça Ÿ");
    EXPECT_FALSE(has_decomposed_accent("Clé"));
    EXPECT_EQ(trim_any_blanks("\xC2\xA0 Vous\xE2\x80\xAF\t"), "Vous");
}

// Writing the line a diagnostic gives makes that diagnostic go: over every
// story of the checker's golden cases.
TEST(CheckFixes, TheLineToWriteMendsWhatItIsGivenFor) {
    int mended = 0;
    for (const std::filesystem::path& path : golden_stories()) {
        std::ifstream file(path, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(file), {}};
        std::istringstream in{text, std::ios::binary};
        for (const Diagnostic& d : check_story(in, "histoire.txt").diagnostics) {
            if (d.fix.empty() || d.line < 1) continue;
            EXPECT_NE(d.message.find(" ; écrivez « "), std::string::npos) << d.message;
            std::vector<std::string> lines;
            std::istringstream split(text);
            for (std::string line; std::getline(split, line);) lines.push_back(line);
            lines[static_cast<std::size_t>(d.line - 1)] = d.fix;
            std::string mended_text;
            for (const std::string& line : lines) mended_text += line + "\n";
            std::istringstream again{mended_text, std::ios::binary};
            const std::string kind = d.message.substr(0, d.message.find(" : "));
            for (const Diagnostic& after : check_story(again, "histoire.txt").diagnostics) {
                EXPECT_FALSE(after.line == d.line && after.message.starts_with(kind))
                    << path << ":" << d.line << ": " << d.message << "\nstill: " << after.message;
            }
            ++mended;
        }
    }
    EXPECT_GE(mended, 10);
}

// A count below zero, as a damaged table may hold, means no section at all.
TEST(CheckAnalysis, NegativeSectionCountsReadNothing) {
    const auto loaded = load_text("# Section 0\n<clé>\n[Choix]\nA -> Section : 0\n\n");
    EXPECT_TRUE(analyse_story(*loaded.sections, -1, StoryPlaces{}).empty());
    EXPECT_TRUE(find_missing_items(*loaded.sections, -7).missing.empty());
}

TEST(CheckItems, SearchStopsAtItsStateBoundOrOnceEveryLossIsFound) {
    // Each pass through 0 gains a pebble until the inventory is full; the loss
    // is unreachable, so the search runs until every state is seen.
    const auto loaded = load_text(
        "# Section 0\n\"caillou\"\n[Choix]\nA -> Section : 0\nB -> Section : -1\n\n# Section 1\n<clé>\n[Fin]\n");
    EXPECT_FALSE(find_missing_items(*loaded.sections, loaded.count, 3).complete);
    const MissingItemSearch full = find_missing_items(*loaded.sections, loaded.count);
    EXPECT_TRUE(full.complete && full.missing.empty());
    // It stops short of the bound once every loss is found.
    const auto lossy = load_text("# Section 0\n\"caillou\"\n<clé>\n[Choix]\nA -> Section : 0\nB -> Section : -1\n\n");
    const MissingItemSearch found = find_missing_items(*lossy.sections, lossy.count, 1);
    ASSERT_TRUE(found.complete && found.missing.size() == 1);
    const MissingItem& m = found.missing[0];
    EXPECT_EQ(std::tie(m.section, m.item_index, m.path), std::tuple(0, 1, std::vector<int>{0}));
}

// Past each bound the checker says, in the report, what it did not look at
// and with which bound; whatever lies past it goes unsaid. Tiny bounds here.
TEST(CheckBounds, EachBoundSaysWhatItLeftUnexplored) {
    // Each pass through 0 gains a pebble; the key is lost only once the
    // inventory is full, which no search bounded at 3 states reaches.
    const std::string pebbles = "# Section 0\n\"caillou\"\n[Choix]\nA -> Section : 1\nB -> Section : -1\n\n"
                                "# Section 1\n\"clé\"\n<clé>\n[Choix]\nA -> Section : 0\n\n";
    const CheckBounds three_states{.item_states = 3};
    const CheckBounds two_lines{.examined_lines = 2};
    const struct { std::string_view name; std::string text; CheckBounds bounds; std::vector<Expected> expected; } cases[]{
        {"item_states", pebbles, three_states,
         {{warning, 0, "analyse des objets interrompue après 3 états : des objets manquants peuvent ne pas être signalés"},
          {remark, 0, "analyse des reprises interrompue après 3 états"}}},
        {"item_states_unbounded", pebbles, {}, {{warning, 9, "l'inventaire est déjà plein (50 objets) quand la ligne 8"}}},
        // The second narration block goes unexamined, and so does the block it replaces.
        {"block_markers", "# Section 0\n[Narration]\nx\n[/Narration]\n[Narration]\ny\n[/Narration]\n[Fin]\n", two_lines,
         {{warning, 5, "analyse des marqueurs de bloc interrompue après 2 lignes : 2 autres, de la ligne 5 à la ligne 7, "
                       "ne sont pas examinées ; des blocs répétés"}}},
        // The third line lacks its blank after the dash, unseen.
        {"dialogue_lines", "# Section 0\n[Dialogue]\n- A : b\n- A : c\n-A : d\n\n[Fin]\n", two_lines,
         {{warning, 5, "analyse des répliques interrompue après 2 lignes : 1 autre, ligne 5, n'est pas examinée"}}},
        {"narration_lines", "# Section 0\n[Narration]\na\nb\n[/Narraton]\n[/Narration]\n[Fin]\n", two_lines,
         {{warning, 5, "analyse des lignes de narration interrompue après 2 lignes : 1 autre, ligne 5, n'est pas "
                       "examinée ; des « [/Narration] » mal écrits peuvent ne pas être signalés"}}},
        // The header swallowed third still counts among those that do not open.
        {"markers_in_a_narration", "# Section 0\n[Fin]\n[Narration]\n[Fin]\n# Section 1\n# Section 2\n[/Narration]\n", two_lines,
         {{warning, 4, "dont les en-têtes « # Section 1 » (ligne 5) et 1 autre : ces 2 sections ne s'ouvrent pas"},
          {warning, 6, "analyse des marqueurs lus comme du texte dans une narration interrompue après 2 lignes : 1 autre, "
                       "ligne 6"}}},
    };
    for (const auto& c : cases) EXPECT_TRUE(diagnoses(c.text, c.expected, c.bounds)) << c.name;
}

// What is read off the lines kept is told twenty problems per kind too.
TEST(CheckBounds, ProblemsFoundAfterReadingAreToldTwentyPerKind) {
    std::string text = "# Section 0\n[Fin]\n";
    for (int block = 0; block < 23; ++block) text += "[Narration] x\ny\n[/Narration]\n";
    std::vector<Expected> told;
    for (int block = 0; block < 23; ++block) {
        const int line = 3 + 3 * block;
        if (block < 20) told.push_back({warning, line, "texte sur la ligne du marqueur « [Narration] »"});
        if (block > 0 && block <= 20) told.push_back({warning, line, "un autre bloc « [Narration] » dans la section 0"});
        if (block == 20) told.push_back({warning, line, "et 3 autres lignes du même genre, de la ligne 63 à la ligne 69"});
        if (block == 21) told.push_back({warning, line, "et 2 autres lignes du même genre, de la ligne 66 à la ligne 69"});
    }
    EXPECT_TRUE(diagnoses(text, told));
}

// Ten million ignored lines: twenty warnings and a count, whatever the
// file's length.
TEST(CheckBounds, TenMillionStrayLinesGiveTwentyWarningsAndACount) {
    std::istringstream in("# Section 0\n[Fin]\n" + repeat("x\n", 10'000'000));
    const CheckedStory story = check_story(in, "égarées.txt");
    std::ostringstream report;
    print_diagnostics(report, "égarées.txt", story.diagnostics);
    EXPECT_LT(report.str().size(), 4096U);
    ASSERT_EQ(story.diagnostics.size(), 21U) << report.str();
    EXPECT_EQ(story.diagnostics.back().message,
              "et 9999980 autres lignes du même genre, de la ligne 23 à la ligne 10000002 : elles ne sont pas détaillées");
}

TEST(TextExcerpt, CutsAtWholeWordsAndWholeCharacters) {
    EXPECT_EQ(excerpt("court", 5), "court");
    EXPECT_EQ(excerpt("  des   blancs\t repliés ", 40), "des blancs repliés");
    EXPECT_EQ(excerpt("une phrase bien trop longue", 12), "une phrase…");
    EXPECT_EQ(excerpt("éééééééééé", 4), "ééé…");
    EXPECT_EQ(valid_utf8("a\xC3(b\xFF"), "a\xEF\xBF\xBD(b\xEF\xBF\xBD");
    EXPECT_EQ(valid_utf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // a surrogate
}

// --- The loader's listener ------------------------------------------------------

struct RecordingListener final : LoadListener {
    void notice(const LoadNotice& notice) override { lines[notice.kind].push_back(notice.line); }
    std::map<LoadNoticeKind, std::vector<int>> lines;
};

TEST(LoadNotices, ListeningChangesNothingTheGameSees) {
    const std::string story =
        "\xEF\xBB\xBF# Section 0\n\nAvant\n\"clé\"\n# Section 1\n[Narration]\nIl était une fois\n[/Narration]\n"
        "\"clé\"\n[Dialogue]\n- Vous: Bonjour\n- sans deux-points\n- A : a\n<clé>\n[Choix]\nA ->Section : 2\n"
        "B -> Section : -1\n# Section 2\n  [Fin]\n[Fin]\n" + std::string(300, 'x') + "\n";
    RecordingListener listener;
    const auto heard = load_text(story, &listener);
    const auto plain = load_text(story);
    EXPECT_EQ(heard.count, plain.count);
    EXPECT_TRUE(*heard.sections == *plain.sections);
    EXPECT_GT(listener.lines.size(), 10u);
    // Facts the checker does not report as such: where dialogue lines are
    // stored, every ignored line with its bytes (the byte order mark's, the
    // blank one, the indented marker, each piece of a long one), and a marker
    // or item line before the first header.
    EXPECT_EQ(listener.lines[LoadNoticeKind::dialogue_stored], (std::vector<int>{11, 13}));
    EXPECT_EQ(listener.lines[LoadNoticeKind::line_ignored], (std::vector<int>{1, 2, 3, 19, 21, 21}));
    EXPECT_EQ(listener.lines[LoadNoticeKind::outside_section], (std::vector<int>{4}));
}

}  // namespace
