// The page's figures in headless Chromium, printed, not judged: the size of
// the page of the sample stories, the time from opening it to the story
// menu, and 999 bytes typed at 20 ms (drift, and the page's CPU meanwhile).
import { readdirSync, statSync, writeFileSync } from "node:fs";
import path from "node:path";
import { answer, launch, openPage, publish, repo, scratchFolder, waitFor } from "../tests/web/harness.mjs";

const openings = 7;
const typedBytes = 999;
const byteDelayMs = 20;

const scratch = scratchFolder();
const browser = await launch();
try {
  const samples = readdirSync(path.join(repo, "stories")).filter((name) => name.endsWith(".txt")).sort();
  const samplesPage = path.join(scratch.folder, "histoires.html");
  const samplesUrl = publish(scratch.folder, samples.map((name) => path.join(repo, "stories", name)), samplesPage);
  console.log(`page of the ${samples.length} sample stories: ${(statSync(samplesPage).size / 1024).toFixed(0)} KB`);

  // From opening the page: its script running, the engine ready, the menu.
  const steps = { scriptPret: [], moteurPret: [], menuAffiche: [] };
  for (let i = 0; i < openings; ++i) {
    const page = await browser.newPage();
    await page.goto(samplesUrl);
    await waitFor(page, "etat.menuAffiche !== null");
    const state = await page.evaluate(() => window.orlimarEtat);
    for (const step of Object.keys(steps)) steps[step].push(state[step]);
    await page.close();
  }
  const median = (times) => [...times].sort((a, b) => a - b)[times.length >> 1].toFixed(0);
  const toMenu = [...steps.menuAffiche].sort((a, b) => a - b);
  console.log(`opening to story menu: median ${median(toMenu)} ms (fastest ${toMenu[0].toFixed(0)}, ` +
    `slowest ${toMenu.at(-1).toFixed(0)}, ${openings} openings; page script at ${median(steps.scriptPret)} ms, ` +
    `engine ready at ${median(steps.moteurPret)} ms)`);

  // A narration of exactly 999 bytes: five lines of 200, cut by the loader.
  const story = path.join(scratch.folder, "frappe.txt");
  const line = "a".repeat(199) + " ";
  writeFileSync(story, `# Section 0\n[Narration]\n${(line + "\n").repeat(5)}[/Narration]\n[Fin]\n`);
  const url = publish(scratch.folder, [story], path.join(scratch.folder, "frappe.html"));
  const page = await openPage(browser, url, { "orlimar:vitesse": "normale" });
  await answer(page, "1");
  await waitFor(page, "etat.frappe");
  const before = await page.metrics();
  // Watched from here once a second, not polled in the page, which would
  // count in its CPU time.
  while (!(await page.evaluate(() => window.orlimarEtat.textes.length > 0))) {
    await new Promise((resolve) => setTimeout(resolve, 1000));
  }
  const after = await page.metrics();
  const text = await page.evaluate(() => window.orlimarEtat.textes[0]);
  const paced = text.octets - 1;  // the line end comes without a pause
  const wall = text.fin - text.debut;
  const expected = paced * byteDelayMs;
  const busy = (after.TaskDuration - before.TaskDuration) * 1000;
  const elapsed = (after.Timestamp - before.Timestamp) * 1000;
  console.log(`${paced} bytes at ${byteDelayMs} ms: ${(wall / 1000).toFixed(3)} s, drift ` +
    `${(((wall - expected) / expected) * 100).toFixed(3)} %`);
  console.log(`page CPU while typing: ${((busy / elapsed) * 100).toFixed(2)} % of the main thread ` +
    `(${busy.toFixed(0)} ms busy in ${(elapsed / 1000).toFixed(1)} s)`);
  if (paced !== typedBytes) throw new Error(`typed ${paced} bytes instead of ${typedBytes}`);
  await page.close();
} finally {
  await browser.close();
  scratch.remove();
}
