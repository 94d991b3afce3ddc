#version 330
// Point and spot lights, additive. Variants:
//   no define         instanced point light (light values from the vertex stage)
//   MVE_POINT_SHADOW  one point light from the Light block with its shadow cube (unit 5, static cube 6)
//   MVE_SPOT          one spot light from the Light block: vLightDirection is the view-space cone
//                     axis (from the light outwards), fLightConeAngle the reciprocal of the cone's
//                     half angle in radians (the light fades to nothing at the cone's edge)
// All values are view space; fLightRange is the range the volume covers.
uniform sampler2D PositionMap;
uniform sampler2D NormalMap;
uniform sampler2D DiffuseMap;
uniform sampler2D SpecularMap;
uniform sampler2D MiscMap;
#if defined(MVE_POINT_SHADOW) || defined(MVE_SPOT)
layout(std140) uniform Light {
	vec3 vLightPosition;
	float fLightRange;
	vec3 vLightColor;
	float fLightIntensity;
	vec3 vLightDirection;
	float fLightConeAngle;
	int iStatic;
};
#else
flat in vec3 vLightPosition;
flat in float fLightRange;
flat in vec3 vLightColor;
flat in float fLightIntensity;
#endif
#ifdef MVE_POINT_SHADOW
uniform samplerCube ShadowMap;
uniform samplerCube StaticShadowMap;
uniform mat4 mWorldViewMatrix;
uniform mat4 mShadowTextureMatrix;

// mShadowTextureMatrix turns the view-space direction towards the light into the cube's look-up
// direction; mWorldViewMatrix turns the view-space offset to the light into the cube's frame.
float PointVisibility(vec3 vPosition, vec3 L) {
	vec3 v = mat3(mWorldViewMatrix) * (vLightPosition - vPosition);
	vec3 a = abs(v);
	float m = max(a.x, max(a.y, a.z));
	float f = fLightRange * 32.0;
	float n = 0.1;
	float fDepth = (((f + n) / (f - n) - (2.0 * f * n) / (f - n) / m) + 1.0) * 0.5;
	vec3 vLookup = (mShadowTextureMatrix * vec4(L, 0.0)).xyz;
	if (iStatic == 1 && texture(StaticShadowMap, vLookup).r < fDepth) return 0.0;
	return texture(ShadowMap, vLookup).r < fDepth ? 0.0 : 1.0;
}
#endif
out vec4 vFragColor;

void main() {
	ivec2 p = ivec2(gl_FragCoord.xy);
	if (texelFetch(MiscMap, p, 0).a == 0.0) discard;
	vec4 vPosition = texelFetch(PositionMap, p, 0);
	vec3 D = (vLightPosition - vPosition.xyz) / fLightRange;
	float a = max(0.0, 1.0 - length(D));
	vec3 L = normalize(D);
#ifdef MVE_SPOT
	a *= max(0.0, 1.0 - acos(clamp(-dot(normalize(vLightDirection), L), -1.0, 1.0)) * fLightConeAngle);
#endif
	if (a <= 0.0) discard;
	vec4 vNormal = texelFetch(NormalMap, p, 0);
	vec4 vDiffuse = texelFetch(DiffuseMap, p, 0);
	vec4 vSpecular = texelFetch(SpecularMap, p, 0);
	vec3 N = vNormal.xyz;
#ifdef MVE_POINT_SHADOW
	float f = PointVisibility(vPosition.xyz, L);
#else
	float f = 1.0;
#endif
	float fNL = dot(N, L);
	float d = fNL * f;
	if (d < vPosition.a) d = vPosition.a * (1.0 - fNL) * f;
	float fSpecular = pow(max(0.0, dot(reflect(L, N), normalize(vPosition.xyz))), vNormal.a) * vSpecular.a * f;
	vFragColor = vec4((vDiffuse.rgb * d + vSpecular.rgb * fSpecular) * vLightColor * fLightIntensity * a, 1.0);
}
