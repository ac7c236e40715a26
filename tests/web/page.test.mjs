// The published page in headless Chromium: the game's golden transcripts
// and the sample stories' walkthroughs played in it show what the console
// shows, colours included; Enter, the speeds and the saves.
import assert from "node:assert/strict";
import { existsSync, mkdtempSync, readdirSync, readFileSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import {
  answer, checker, pageWithoutChecks, consoleRuns, instant, launch, marked, openPage, playToTheEnd, publish, readText, repo,
  saveKey, scratchFolder, screenRuns, waitFor,
} from "./harness.mjs";

const golden = path.join(repo, "tests/golden");
const samples = readdirSync(path.join(repo, "stories")).filter((name) => name.endsWith(".txt")).sort();

let scratch;
let browser;
before(async () => {
  scratch = scratchFolder();
  browser = await launch();
});
after(async () => {
  await browser.close();
  scratch.remove();
});

// The stories a case's menu lists, in the order it lists them.
function listedStories(stdout) {
  const menu = stdout.split("Choisissez une histoire")[0];
  return [...menu.matchAll(/^\d+\. (.*)$/gm)].map((match) => match[1]);
}

// Cases of the game whose last answer was read from the keys: the game
// ended by itself, as it must in a page, which has no end of input.
const endsByItself = /: (Merci d'avoir joué [^\n]* !|Erreur : Impossible de charger l'histoire\. Vérifiez le fichier sélectionné\.)\n$/;
function gameCases() {
  return readdirSync(golden).filter((name) => {
    const folder = path.join(golden, name);
    if (!existsSync(path.join(folder, "expected/stdout"))) return false;
    const command = path.join(folder, "command");
    if (existsSync(command) && readText(command).split("\n")[0] !== "orlimar") return false;
    const stdout = readText(path.join(folder, "expected/stdout"));
    return endsByItself.test(stdout) && listedStories(stdout).length > 0;
  });
}

// The save files of a folder: file name to text.
function saveFiles(folder) {
  if (!existsSync(folder)) return {};
  const saves = {};
  for (const name of readdirSync(folder).filter((file) => file.endsWith("_save.json"))) {
    saves[name] = readText(path.join(folder, name));
  }
  return saves;
}

function pageSaves(page, url) {
  return page.evaluate((prefix) => {
    const saves = {};
    for (let i = 0; i < localStorage.length; ++i) {
      const key = localStorage.key(i);
      if (key.startsWith(prefix)) saves[key.slice(prefix.length)] = localStorage.getItem(key);
    }
    return saves;
  }, saveKey(url, "./stories/"));
}

function assertSameScreen(actual, expected) {
  const [shown, wanted] = [marked(actual), marked(expected)];
  if (shown === wanted) return;
  let at = 0;
  while (shown[at] === wanted[at]) ++at;
  assert.fail(`the page differs from the console at character ${at}:\n` +
    `page:    ${JSON.stringify(shown.slice(Math.max(0, at - 80), at + 80))}\n` +
    `console: ${JSON.stringify(wanted.slice(Math.max(0, at - 80), at + 80))}`);
}

describe("golden transcripts of the game, played in the page", () => {
  for (const name of gameCases()) {
    test(name, async () => {
      const folder = path.join(golden, name);
      const stdout = readText(path.join(folder, "expected/stdout"));
      const stories = listedStories(stdout);
      const files = stories.map((story) => path.join(folder, "stories", story));
      const url = pageWithoutChecks(scratch.folder, files, path.join(scratch.folder, `${name}.html`));
      const storage = { ...instant };
      for (const [file, text] of Object.entries(saveFiles(path.join(folder, "stories")))) {
        storage[saveKey(url, "./stories/" + file)] = text;
      }
      let keys = existsSync(path.join(folder, "keys")) ? readText(path.join(folder, "keys")) : "";
      stories.forEach((story, index) => {
        keys = keys.replaceAll(`{{${story}}}`, String(index + 1));
      });
      const lines = keys.split("\n");
      if (lines.at(-1) === "") lines.pop();

      const page = await openPage(browser, url, storage);
      await playToTheEnd(page, lines);
      assertSameScreen(await screenRuns(page), consoleRuns(stdout));
      const status = Number(readText(path.join(folder, "expected/status")));
      assert.equal(await page.evaluate(() => window.orlimarEtat.statut), status);
      assert.deepEqual(await pageSaves(page, url), saveFiles(path.join(folder, "expected/stories")));
      assert.deepEqual(page.errors, []);
      await page.close();
    });
  }
});

// Every walkthrough the checker finds for `story`: its keys and the output
// the game's engine wrote along it.
function walkthroughs(story) {
  const folder = mkdtempSync(path.join(scratch.folder, "parcours-"));
  const run = checker(scratch.folder, ["--parcours", story, "--transcription", folder]);
  assert.equal(run.status, 0, run.stderr);
  return readdirSync(folder).map((file) => {
    const text = readFileSync(path.join(folder, file), "utf8");
    const [header, ...rest] = text.split(/^sortie : \d+ octets\n/m);
    const keys = header.split(/^touches : \d+ lignes?\n/m)[1].split("\n").slice(0, -1);
    return { file, keys, output: rest.join("") };
  });
}

// The walkthrough's output, its story menu listing `stories` instead of the
// story alone.
function withMenu(output, story, stories) {
  const alone = `1. ${story}\nChoisissez une histoire (1-1) : `;
  const listing = stories.map((name, index) => `${index + 1}. ${name}\n`).join("");
  assert.ok(output.includes(alone));
  return output.replace(alone, `${listing}Choisissez une histoire (1-${stories.length}) : `);
}

describe("the sample stories in one page, each played to every ending", () => {
  for (const [index, story] of samples.entries()) {
    test(story, async () => {
      const pageFile = path.join(scratch.folder, "histoires.html");
      const url = publish(scratch.folder, samples.map((name) => path.join(repo, "stories", name)), pageFile);
      for (const walk of walkthroughs(path.join(repo, "stories", story))) {
        const page = await openPage(browser, url, instant);
        await playToTheEnd(page, [String(index + 1), ...walk.keys.slice(1)]);
        assertSameScreen(await screenRuns(page), consoleRuns(withMenu(walk.output, story, samples)));
        await page.close();
      }
    });
  }
});

test("a story with mistakes is published with its warnings and plays as on the console", async () => {
  const story = path.join(golden, "check-lost-text/stories/lande.txt");
  const pageFile = path.join(scratch.folder, "lande.html");
  const published = checker(scratch.folder, ["--publier", story, "-o", pageFile]);
  assert.equal(published.status, 0, published.stderr);
  assert.match(published.stdout, /lande\.txt:\d+: avertissement/);
  const url = new URL(`file://${pageFile}`).href;
  for (const walk of walkthroughs(story)) {
    const page = await openPage(browser, url, instant);
    await playToTheEnd(page, walk.keys);
    assertSameScreen(await screenRuns(page), consoleRuns(walk.output));
    await page.close();
  }
});

describe("typing", () => {
  const story = path.join(repo, "stories/le_phare.txt");
  let url;
  let first;
  before(() => {
    url = publish(scratch.folder, [story], path.join(scratch.folder, "le_phare.html"));
    first = walkthroughs(story)[0];
  });

  test("Enter finishes the text being typed at once, and sends nothing", async () => {
    const page = await openPage(browser, url, { "orlimar:vitesse": "normale" });
    await answer(page, "1");
    await waitFor(page, "etat.frappe && document.getElementById('ecran').textContent.includes('La barque du passeur')");
    const { lectures: reads, textes: typed } = await page.evaluate(() => window.orlimarEtat);
    await page.focus("#saisie");
    const pressed = Date.now();
    await page.keyboard.press("Enter");
    await waitFor(page, `etat.textes.length > ${typed.length}`);
    const finished = Date.now() - pressed;
    assert.ok(finished < 500, `the rest of the text took ${finished} ms`);
    await page.select("#vitesse", "instantanee");
    await waitFor(page, "etat.attend");
    // The first choice menu waits: Enter left no answer for it.
    assert.equal(await page.evaluate(() => window.orlimarEtat.lectures), reads + 1);
    assert.equal(await page.$$eval(".saisie", (echoes) => echoes.length), 1);
    const menu = first.output.indexOf("Votre choix : ") + "Votre choix : ".length;
    assertSameScreen(await screenRuns(page), consoleRuns(first.output.slice(0, menu)));
    await page.close();
  });

  test("the instant speed types nothing byte by byte, and each text is announced once", async () => {
    const page = await openPage(browser, url, instant);
    await answer(page, "1");
    await waitFor(page, "etat.attend");
    const state = await page.evaluate(() => window.orlimarEtat);
    assert.ok(state.textes.length >= 2);
    for (const text of state.textes) assert.ok(text.fin - text.debut < 50, JSON.stringify(text));
    const announced = await page.$$eval("#annonce p", (paragraphs) => paragraphs.map((p) => p.textContent));
    const narration = first.output.split("=== le_phare ===\n")[1].split("\n").find((line) => line.length > 80);
    assert.equal(announced.filter((text) => text.includes(narration)).length, 1);
    assert.ok(announced.at(-1).endsWith("Votre choix :"));
    // On a phone's width the banners shrink or scroll in their own blocks.
    await page.setViewport({ width: 360, height: 740 });
    const widths = await page.evaluate(() => ({
      page: document.documentElement.scrollWidth,
      window: document.documentElement.clientWidth,
      banners: document.querySelectorAll(".banniere").length,
    }));
    assert.ok(widths.page <= widths.window, JSON.stringify(widths));
    assert.equal(widths.banners, 2);
    await page.close();
  });

  test("with reduced motion the speed starts instant; a speed chosen is kept", async () => {
    const page = await browser.newPage();
    await page.emulateMediaFeatures([{ name: "prefers-reduced-motion", value: "reduce" }]);
    await page.goto(url);
    await page.evaluate(() => localStorage.clear());
    await page.reload();
    assert.equal(await page.$eval("#vitesse", (select) => select.value), "instantanee");
    await page.emulateMediaFeatures([{ name: "prefers-reduced-motion", value: "no-preference" }]);
    await page.reload();
    assert.equal(await page.$eval("#vitesse", (select) => select.value), "normale");
    await page.select("#vitesse", "rapide");
    await page.reload();
    assert.equal(await page.$eval("#vitesse", (select) => select.value), "rapide");
    assert.equal(await page.evaluate(() => document.activeElement.id), "saisie");
    await page.close();
  });
});

test("a save survives closing the page, the next game resumes there, and «Recommencer l'histoire» deletes it", async () => {
  const url = publish(scratch.folder, [path.join(repo, "stories/le_phare.txt")], path.join(scratch.folder, "sauve.html"));
  const page = await openPage(browser, url, instant);
  await answer(page, "1");
  await answer(page, "1");
  await waitFor(page, "etat.attend");
  const screen = () => page.$eval("#ecran", (element) => element.textContent);
  const saveEntry = [...(await screen()).matchAll(/(\d+)\. Sauvegarder la partie/g)].at(-1)[1];
  await answer(page, saveEntry);
  await waitFor(page, "etat.attend");
  assert.match(await screen(), /Partie sauvegardée avec succès dans \.\/stories\/le_phare\.txt_save\.json\.\n/);
  const saved = (await pageSaves(page, url))["le_phare.txt_save.json"];
  assert.match(saved, /^[1-9]\d*\n$/);

  await page.reload();
  await answer(page, "1");
  await waitFor(page, "etat.attend");
  assert.match(await screen(), new RegExp(`Reprise à la section ${saved.trim()}\\.\\n`));

  page.once("dialog", (dialog) => dialog.accept());
  await Promise.all([page.waitForNavigation(), page.click("#recommencer")]);
  assert.deepEqual(await pageSaves(page, url), {});
  await answer(page, "1");
  await waitFor(page, "etat.attend");
  assert.match(await screen(), /Aucune sauvegarde trouvée pour \.\/stories\/le_phare\.txt\. Nouvelle partie commencée\./);
  await page.close();
});
